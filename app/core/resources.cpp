// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/resources.h"

#include <array>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "codec/convert.h"

namespace postori {
namespace {

constexpr std::array MAIN_CONTROLS{
    ControlTemplate{IDOK, ControlKind::DefPushButton, {"取得開始"}, {17, 12, 56, 21}, CS_TABSTOP},
    ControlTemplate{IDCANCEL, ControlKind::PushButton, {"終了"}, {17, 40, 56, 14}, CS_TABSTOP},
    ControlTemplate{IDC_PORT, ControlKind::Edit, {""}, {44, 33, 40, 14}, CS_TABSTOP | CS_HIDDEN},
    ControlTemplate{IDC_STATIC, ControlKind::Text, {"Port"}, {19, 33, 13, 8}, CS_GROUP | CS_HIDDEN},
    ControlTemplate{IDC_EUC, ControlKind::AutoRadio, {"EUC"}, {202, 31, 29, 10}, CS_GROUP},
    ControlTemplate{IDC_SHIFT_JIS, ControlKind::AutoRadio, {"Shift-JIS"}, {202, 41, 43, 10}, 0},
    ControlTemplate{IDC_UTF8, ControlKind::AutoRadio, {"UTF-8"}, {201, 52, 35, 10}, 0},
    ControlTemplate{IDC_RESULT_PANE, ControlKind::WhiteFrame, {""}, {7, 79, 255, 146}, CS_SUNKEN_EDGE},
    ControlTemplate{IDC_AUTO_DETECT, ControlKind::AutoCheck, {"自動認識"}, {194, 18, 43, 10}, CS_TABSTOP},
    ControlTemplate{IDC_STATIC, ControlKind::GroupBox, {"エンコード"}, {182, 7, 81, 63}, 0},
    ControlTemplate{IDC_RESULT_SCROLL, ControlKind::VScrollBar, {""}, {263, 79, 10, 146}, 0},
    ControlTemplate{IDC_VERSION, ControlKind::PushButton, {"バージョン情報"}, {17, 56, 56, 14}, CS_TABSTOP},
};

constexpr std::array VERSION_CONTROLS{
    ControlTemplate{IDC_STATIC, ControlKind::Icon, {""}, {11, 17, 20, 21}, 0},
    ControlTemplate{IDC_STATIC, ControlKind::Text, {"Postori Version 1.01"}, {40, 10, 119, 8}, CS_NOPREFIX | CS_GROUP},
    ControlTemplate{IDC_STATIC, ControlKind::Text, {"(C) 2026 Postori 開発チーム"}, {40, 25, 119, 8}, CS_GROUP},
    ControlTemplate{IDOK, ControlKind::DefPushButton, {"OK"}, {178, 7, 50, 14}, CS_GROUP | CS_TABSTOP},
};

constexpr std::array WAITING_CONTROLS{
    ControlTemplate{IDOK, ControlKind::DefPushButton, {"OK"}, {7, 47, 50, 14}, CS_TABSTOP | CS_HIDDEN},
    ControlTemplate{IDCANCEL, ControlKind::PushButton, {"ｷｬﾝｾﾙ"}, {54, 47, 50, 14}, CS_TABSTOP},
    ControlTemplate{IDC_STATIC, ControlKind::Text, {"フォームデータ送信待機中...."}, {37, 20, 84, 8}, 0},
};

constexpr DialogTemplate MAIN_TEMPLATE{
    IDD_MAIN,
    {"Postori"},
    282,
    232,
    DS_CAPTION | DS_SYSMENU | DS_MINIMIZEBOX | DS_MODALFRAME | DS_VISIBLE | DS_APPWINDOW,
    text::DIALOG_FONT,
    9,
    MAIN_CONTROLS,
};

constexpr DialogTemplate VERSION_TEMPLATE{
    IDD_VERSION,
    {"Postori のバージョン情報"},
    235,
    63,
    DS_CAPTION | DS_SYSMENU | DS_MODALFRAME,
    text::DIALOG_FONT,
    9,
    VERSION_CONTROLS,
};

constexpr DialogTemplate WAITING_TEMPLATE{
    IDD_WAITING,
    {"進行状況"},
    159,
    68,
    DS_CAPTION | DS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFOREGROUND,
    text::DIALOG_FONT,
    9,
    WAITING_CONTROLS,
};

constexpr ResourceText VERSION_MENU{"postori のﾊﾞｰｼﾞｮﾝ情報(&A)..."};

constexpr const DialogTemplate* TEMPLATES[] = {&MAIN_TEMPLATE, &VERSION_TEMPLATE, &WAITING_TEMPLATE};

constexpr const ResourceText* MESSAGE_TEXTS[] = {
    &text::EXIT_QUESTION,   &text::EXIT_TITLE,    &text::CANCELLED,       &text::CANCELLED_TITLE, &text::COMPLETED,
    &text::COMPLETED_TITLE, &text::FAILED,        &text::FAILED_TITLE,    &text::MENU_MINIMIZE,   &text::MENU_CLOSE,
    &text::DIALOG_FONT,     &text::COMPLETED_CUT, &text::RESHOW_QUESTION, &text::RESHOW_TITLE,    &text::FILE_OPEN,
    &text::FILE_SEPARATOR,  &text::FILE_BYTES,    &text::FILE_NONE,
};

}  // namespace

std::string_view ResourceText::sjis() const {
    // Each text is converted once; the map's nodes never move, so the bytes
    // handed out stay where they are.
    static std::mutex mutex;
    static std::map<std::string, std::string, std::less<>> converted;
    const std::lock_guard lock(mutex);
    auto found = converted.find(utf8);
    if (found == converted.end()) {
        found = converted.emplace(std::string(utf8), utf8_to_sjis(std::string(utf8))).first;
    }
    return found->second;
}

const DialogTemplate& dialog_template(int id) {
    for (const DialogTemplate* candidate : TEMPLATES) {
        if (candidate->id == id) {
            return *candidate;
        }
    }
    // A template id that does not exist is a fault in the program.
    std::abort();
}

ResourceText load_string(int id) {
    return id == IDS_VERSION_MENU ? VERSION_MENU : ResourceText{};
}

std::vector<ResourceText> resource_texts() {
    std::vector<ResourceText> texts;
    for (const DialogTemplate* dialog : TEMPLATES) {
        texts.push_back(dialog->title);
        texts.push_back(dialog->font_face);
        for (const ControlTemplate& control : dialog->controls) {
            texts.push_back(control.text);
        }
    }
    texts.push_back(VERSION_MENU);
    for (const ResourceText* message : MESSAGE_TEXTS) {
        texts.push_back(*message);
    }
    return texts;
}

}  // namespace postori
