// SPDX-License-Identifier: GPL-3.0-or-later
// The window layer's services over Qt: texts, the dialog font, message
// boxes, the icon, and the translations of Qt's own texts.
#pragma once

#include <QFont>
#include <QIcon>
#include <QString>
#include <string_view>

class QApplication;
class QWidget;

namespace postori {

// A window text: Shift_JIS (code page 932) bytes up to the first zero byte,
// decoded for Qt. Bytes that are not Shift_JIS show as U+FFFD.
[[nodiscard]] QString window_text(std::string_view sjis);

// The Japanese proportional gothics that stand in for the templates' face,
// best first.
[[nodiscard]] const QStringList& dialog_font_substitutes();

// Registers the stand-ins for the templates' face with Qt's font lookup.
// Idempotent.
void install_font_substitutes();

// The font of a template: its face (Shift_JIS) at `points` points, set in
// pixels as at 96 dots per inch (9 points: 12 pixels) so the windows look the
// same on every screen.
[[nodiscard]] QFont dialog_font(std::string_view sjis_face, int points);

// Loads Qt's Japanese translation, so its own texts (message-box buttons,
// the edit boxes' context menus) are Japanese like everything else. Returns
// false when the translation is not installed.
bool install_translations(QApplication& app);

// The program's icon IDI_MAIN, drawn at 16 and 32 pixels.
[[nodiscard]] QIcon main_icon();
[[nodiscard]] QPixmap draw_main_icon(int size);

// The icon of a message box.
enum class MessageIcon {
    Information,
    Warning,
    Question,
};

// Message boxes. Every one the program shows goes through show_message() or
// ask_yes_no(), so tests can answer them without a window.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows `text` with `title` (both Shift_JIS), `icon` and an OK button,
    // owned by `owner`; returns once it is closed.
    virtual void show(QWidget* owner, std::string_view text, std::string_view title, MessageIcon icon) = 0;
    // Asks the question `text` with `title` (both Shift_JIS), the question
    // icon and the buttons Yes (the default) and No; true for Yes.
    virtual bool ask(QWidget* owner, std::string_view text, std::string_view title) = 0;
};

// Shows a message box through the installed MessageBoxes (Qt's own by
// default).
void show_message(QWidget* owner, std::string_view text, std::string_view title, MessageIcon icon);

// Asks a yes/no question through the installed MessageBoxes; true for Yes.
bool ask_yes_no(QWidget* owner, std::string_view text, std::string_view title);

// Installs `boxes` in place of Qt's message boxes; nullptr puts Qt's back.
// Returns the one installed before.
MessageBoxes* set_message_boxes(MessageBoxes* boxes);

// The primary selection of X11 and Wayland desktops: what any selection in a
// text field offers and a middle click pastes. Where the window system has
// none, offering does nothing and the text is empty.
class PrimarySelection {
public:
    virtual ~PrimarySelection() = default;
    virtual void offer(const QString& text) = 0;
    [[nodiscard]] virtual QString text() const = 0;
};
void offer_primary_selection(const QString& text);
[[nodiscard]] QString primary_selection_text();
// Installs `selection` in place of the clipboard's primary selection (tests:
// Qt's offscreen platform has none); nullptr puts the clipboard's back.
// Returns the one installed before.
PrimarySelection* set_primary_selection(PrimarySelection* selection);

}  // namespace postori
