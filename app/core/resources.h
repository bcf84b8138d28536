// SPDX-License-Identifier: GPL-3.0-or-later
// The program's resources: dialog templates, the string table and the ids of
// dialogs, controls, commands and the icon, in the window system's manner.
// Every text is written in UTF-8, as the user reads it; the window layer
// takes it as a Shift_JIS (code page 932) byte string, made by the program's
// own converter.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace postori {

// One text of the program, written in UTF-8 so that the source reads (and
// greps) as what the user sees.
struct ResourceText {
    std::string_view utf8;

    // The text in Shift_JIS, as the window layer takes it: converted by
    // utf8_to_sjis the first time it is asked for, and kept. Thread-safe;
    // the bytes stay valid for the life of the program.
    [[nodiscard]] std::string_view sjis() const;
};

// Dialogs, icon and strings.
inline constexpr int IDD_VERSION = 100;
inline constexpr int IDS_VERSION_MENU = 101;
inline constexpr int IDD_MAIN = 102;
inline constexpr int IDI_MAIN = 128;
inline constexpr int IDD_WAITING = 130;

// Controls. A control without an id of its own carries IDC_STATIC.
inline constexpr int IDC_STATIC = -1;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_PORT = 1000;
inline constexpr int IDC_EUC = 1002;
inline constexpr int IDC_SHIFT_JIS = 1003;
inline constexpr int IDC_UTF8 = 1004;
inline constexpr int IDC_RESULT_PANE = 1005;
inline constexpr int IDC_AUTO_DETECT = 1006;
inline constexpr int IDC_RESULT_SCROLL = 1007;
inline constexpr int IDC_VERSION = 1015;

// The window menu's command of the version item.
inline constexpr unsigned ID_VERSION_MENU = 0x0010;

// What a control is. Each kind carries the look and behaviour the window
// layer gives it; its styles below add what varies between controls.
enum class ControlKind {
    DefPushButton,  // the push button Enter presses
    PushButton,
    Edit,        // single line, border, scrolls horizontally
    Text,        // left-aligned static text
    Icon,        // static showing the icon IDI_MAIN
    WhiteFrame,  // static white filled rectangle
    AutoRadio,   // radio button that checks itself and unchecks the others of its group
    AutoCheck,   // check box that toggles itself
    GroupBox,    // frame with a caption around other controls
    VScrollBar,  // vertical scroll bar control
};

// Control styles.
inline constexpr std::uint32_t CS_TABSTOP = 1u << 0;      // Tab stops here
inline constexpr std::uint32_t CS_GROUP = 1u << 1;        // starts a group (radio buttons, arrow keys)
inline constexpr std::uint32_t CS_NOPREFIX = 1u << 2;     // '&' is shown, not an access key
inline constexpr std::uint32_t CS_SUNKEN_EDGE = 1u << 3;  // sunken client edge
inline constexpr std::uint32_t CS_HIDDEN = 1u << 4;       // exists but is never shown

// Dialog styles.
inline constexpr std::uint32_t DS_CAPTION = 1u << 0;
inline constexpr std::uint32_t DS_SYSMENU = 1u << 1;  // window menu and close box
inline constexpr std::uint32_t DS_MINIMIZEBOX = 1u << 2;
inline constexpr std::uint32_t DS_MODALFRAME = 1u << 3;
inline constexpr std::uint32_t DS_VISIBLE = 1u << 4;        // shown when created
inline constexpr std::uint32_t DS_APPWINDOW = 1u << 5;      // own button on the task bar
inline constexpr std::uint32_t DS_CENTER = 1u << 6;         // centred on its owner
inline constexpr std::uint32_t DS_SETFOREGROUND = 1u << 7;  // brought to the foreground when created

// A rectangle in dialog units: x, y, width, height.
struct DialogRect {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    ResourceText text;
    DialogRect rect;
    std::uint32_t style;
};

// A dialog: its client area in dialog units, its font, and its controls in
// template order, which is also their z-order and the order Tab visits.
struct DialogTemplate {
    int id;
    ResourceText title;
    int cx;
    int cy;
    std::uint32_t style;
    ResourceText font_face;
    int font_points;
    std::span<const ControlTemplate> controls;
};

[[nodiscard]] const DialogTemplate& dialog_template(int id);

// The string table: the text of `id`, empty when there is none.
[[nodiscard]] ResourceText load_string(int id);

// Texts the program shows in message boxes and its window menu.
namespace text {
inline constexpr ResourceText EXIT_QUESTION{"Postoriを終了します。よろしいですか？"};
inline constexpr ResourceText EXIT_TITLE{"確認"};
inline constexpr ResourceText CANCELLED{"フォーム情報の取得をキャンセルしました"};
inline constexpr ResourceText CANCELLED_TITLE{"処理結果"};
inline constexpr ResourceText COMPLETED{"フォーム情報を取得しました"};
inline constexpr ResourceText COMPLETED_TITLE{"取得成功"};
// The line added to COMPLETED when part of the body is missing.
inline constexpr ResourceText COMPLETED_CUT{"ただし、送信内容の一部は受け取れませんでした"};
// A file field's value: filename（content type、size バイト）, or the text
// for a file input left empty.
inline constexpr ResourceText FILE_OPEN{"（"};
inline constexpr ResourceText FILE_SEPARATOR{"、"};
inline constexpr ResourceText FILE_BYTES{" バイト）"};
inline constexpr ResourceText FILE_NONE{"（ファイルなし）"};
inline constexpr ResourceText FAILED{"フォーム情報の取得に失敗しました"};
inline constexpr ResourceText FAILED_TITLE{"エラー"};
// Asked before a capture is shown again in another code over edited values.
inline constexpr ResourceText RESHOW_QUESTION{
    "値が編集されています。選んだコードで表示し直すと、編集した内容は失われます。よろしいですか？"};
inline constexpr ResourceText RESHOW_TITLE{"確認"};
inline constexpr ResourceText MENU_MINIMIZE{"最小化"};
inline constexpr ResourceText MENU_CLOSE{"閉じる"};
// The face every template asks for.
inline constexpr ResourceText DIALOG_FONT{"ＭＳ Ｐゴシック"};
}  // namespace text

// Every text of the resources: the templates' titles, faces and control
// texts, the string table and the texts above.
[[nodiscard]] std::vector<ResourceText> resource_texts();

}  // namespace postori
