#include "app/core/resources.h"

#include <array>
#include <cstdlib>

namespace postori {
namespace {

constexpr std::array MAIN_CONTROLS{
    ControlTemplate{IDOK,
                    ControlKind::DefPushButton,
                    "\x8E\xE6\x93\xBE\x8AJ\x8En",  // 取得開始
                    {17, 12, 56, 21},
                    CS_TABSTOP},
    ControlTemplate{IDCANCEL,
                    ControlKind::PushButton,
                    "\x8FI\x97\xB9",  // 終了
                    {17, 40, 56, 14},
                    CS_TABSTOP},
    ControlTemplate{IDC_PORT, ControlKind::Edit, "", {44, 33, 40, 14}, CS_TABSTOP | CS_HIDDEN},
    ControlTemplate{IDC_STATIC, ControlKind::Text, "Port", {19, 33, 13, 8}, CS_GROUP | CS_HIDDEN},
    ControlTemplate{IDC_EUC, ControlKind::AutoRadio, "EUC", {202, 31, 29, 10}, CS_GROUP},
    ControlTemplate{IDC_SHIFT_JIS, ControlKind::AutoRadio, "Shift-JIS", {202, 41, 43, 10}, 0},
    ControlTemplate{IDC_UTF8, ControlKind::AutoRadio, "UTF-8", {201, 52, 35, 10}, 0},
    ControlTemplate{IDC_RESULT_PANE, ControlKind::WhiteFrame, "", {7, 79, 255, 146}, CS_SUNKEN_EDGE},
    ControlTemplate{IDC_AUTO_DETECT,
                    ControlKind::AutoCheck,
                    "\x8E\xA9\x93\xAE\x94"
                    "F\x8E\xAF",  // 自動認識
                    {194, 18, 43, 10},
                    CS_TABSTOP},
    ControlTemplate{IDC_STATIC,
                    ControlKind::GroupBox,
                    "\x83G\x83\x93\x83R\x81[\x83h",  // エンコード
                    {182, 7, 81, 63},
                    0},
    ControlTemplate{IDC_RESULT_SCROLL, ControlKind::VScrollBar, "", {263, 79, 10, 146}, 0},
    ControlTemplate{IDC_VERSION,
                    ControlKind::PushButton,
                    "\x83o\x81[\x83W\x83\x87\x83\x93\x8F\xEE\x95\xF1",  // バージョン情報
                    {17, 56, 56, 14},
                    CS_TABSTOP},
};

constexpr std::array VERSION_CONTROLS{
    ControlTemplate{IDC_STATIC, ControlKind::Icon, "", {11, 17, 20, 21}, 0},
    ControlTemplate{IDC_STATIC, ControlKind::Text, "Postori Version 1.01", {40, 10, 119, 8}, CS_NOPREFIX | CS_GROUP},
    ControlTemplate{IDC_STATIC,
                    ControlKind::Text,
                    "(C) 2026 Postori \x8AJ\x94\xAD\x83`\x81[\x83\x80",  // (C) 2026 Postori 開発チーム
                    {40, 25, 119, 8},
                    CS_GROUP},
    ControlTemplate{IDOK, ControlKind::DefPushButton, "OK", {178, 7, 50, 14}, CS_GROUP | CS_TABSTOP},
};

constexpr std::array WAITING_CONTROLS{
    ControlTemplate{IDOK, ControlKind::DefPushButton, "OK", {7, 47, 50, 14}, CS_TABSTOP | CS_HIDDEN},
    ControlTemplate{IDCANCEL,
                    ControlKind::PushButton,
                    "\xB7\xAC\xDD\xBE\xD9",  // ｷｬﾝｾﾙ
                    {54, 47, 50, 14},
                    CS_TABSTOP},
    ControlTemplate{IDC_STATIC,
                    ControlKind::Text,
                    "\x83t\x83H\x81[\x83\x80\x83"
                    "f\x81[\x83^\x91\x97\x90M\x91\xD2\x8B@\x92\x86....",  // フォームデータ送信待機中....
                    {37, 20, 84, 8},
                    0},
};

constexpr DialogTemplate MAIN_TEMPLATE{
    IDD_MAIN,
    "Postori",
    282,
    232,
    DS_CAPTION | DS_SYSMENU | DS_MINIMIZEBOX | DS_MODALFRAME | DS_VISIBLE | DS_APPWINDOW,
    text::DIALOG_FONT,
    9,
    MAIN_CONTROLS,
};

constexpr DialogTemplate VERSION_TEMPLATE{
    IDD_VERSION,
    "Postori \x82\xCC\x83o\x81[\x83W\x83\x87\x83\x93\x8F\xEE\x95\xF1",  // Postori のバージョン情報
    235,
    63,
    DS_CAPTION | DS_SYSMENU | DS_MODALFRAME,
    text::DIALOG_FONT,
    9,
    VERSION_CONTROLS,
};

constexpr DialogTemplate WAITING_TEMPLATE{
    IDD_WAITING,
    "\x90i\x8Ds\x8F\xF3\x8B\xB5",  // 進行状況
    159,
    68,
    DS_CAPTION | DS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFOREGROUND,
    text::DIALOG_FONT,
    9,
    WAITING_CONTROLS,
};

}  // namespace

const DialogTemplate& dialog_template(int id) {
    switch (id) {
        case IDD_MAIN:
            return MAIN_TEMPLATE;
        case IDD_VERSION:
            return VERSION_TEMPLATE;
        case IDD_WAITING:
            return WAITING_TEMPLATE;
        default:
            // A template id that does not exist is a fault in the program.
            std::abort();
    }
}

std::string_view load_string(int id) {
    if (id == IDS_VERSION_MENU) {
        return "postori \x82\xCC\xCA\xDE\xB0\xBC\xDE\xAE\xDD\x8F\xEE\x95\xF1(&A)...";  // postori のﾊﾞｰｼﾞｮﾝ情報(&A)...
    }
    return {};
}

}  // namespace postori
