// SPDX-License-Identifier: GPL-3.0-or-later
// A value box: the right-hand box of a result row. An editable multi-line
// edit box with a vertical scroll bar (Qt's own, a child of the box) and no
// word wrap; the editing is ValueEdit's, and the box draws only the lines in
// view, so a thousand rows are quick to make and a very long line costs
// nothing while nobody types. (A QAbstractScrollArea brings a viewport and
// two scroll-bar containers with their layouts to every box: four times the
// cost of making a thousand rows.)
//
// It holds its text exactly (line ends as received); a carriage return (or a
// CR LF pair) ends a line, any other control character, a lone line feed
// among them, is shown as a small mark. Enter is left to the dialog (it
// starts a capture); Ctrl+Enter makes a new line, ended by CR LF. An input
// method's composition is laid out inside the line at the cursor. Screen
// readers read and edit it through its accessible text (accessibility.h).
#pragma once

#include <QBasicTimer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/core/value_edit.h"

class QMenu;
class QScrollBar;
class QTextLayout;

namespace postori {

class GlyphAdvances;

class ValueBox final : public QWidget {
public:
    explicit ValueBox(QWidget* parent);
    ~ValueBox() override;

    // The text, exactly as held; setting it puts the cursor at its start,
    // shows its first line and forgets undo and the edited mark.
    void set_text(const QString& text);
    [[nodiscard]] QString text() const;
    [[nodiscard]] const ValueEdit& edit() const { return edit_; }
    [[nodiscard]] int line_count() const { return static_cast<int>(edit_.lines().size()); }

    // The cursor and the selection (the text between the anchor and the
    // cursor), as positions in the text.
    [[nodiscard]] qsizetype cursor_position() const { return static_cast<qsizetype>(edit_.cursor()); }
    void set_cursor_position(qsizetype position, bool keep_anchor = false);
    void set_selection(qsizetype anchor, qsizetype cursor);
    [[nodiscard]] QString selected_text() const;
    void select_all();

    // The clipboard commands of the box's menu and keys.
    void copy() const;
    void cut();
    void paste();
    // Undoes the last change; a second undo redoes it.
    void undo();
    // Replaces the text from `from` to `to` with `with` (an assistive
    // tool's edit), as one change that undo takes back.
    void replace_range(qsizetype from, qsizetype to, const QString& with);

    // True once the user changed the text since it was set; `on_edited`
    // runs at the first such change.
    [[nodiscard]] bool edited() const { return edit_.edited(); }
    void set_on_edited(std::function<void()> on_edited) { on_edited_ = std::move(on_edited); }

    // What an input method is composing at the cursor (empty: nothing).
    [[nodiscard]] const QString& preedit() const { return preedit_; }

    // Its scroll bar: one step a line, a page the lines in view.
    [[nodiscard]] QScrollBar* scroll_bar() const { return scroll_bar_; }
    // The lines in view: the first one, and how many whole lines fit.
    [[nodiscard]] int first_visible_line() const { return first_line_; }
    [[nodiscard]] int visible_lines() const;
    // Where the scroll bar and the text are, in the box's coordinates.
    [[nodiscard]] QRect scroll_bar_rect() const;
    [[nodiscard]] QRect text_rect() const;
    // The cursor's rectangle at `position` as drawn now (after a
    // composition when it follows the cursor), in the box's coordinates.
    [[nodiscard]] QRect position_rect(qsizetype position) const;
    // The position nearest to `point`, in the box's coordinates.
    [[nodiscard]] qsizetype position_at(const QPoint& point) const;
    // Brings the text from `from` to `to` into view.
    void show_range(qsizetype from, qsizetype to);

    // The context menu: Qt's texts for an edit box's commands, with their
    // keys. The caller owns it.
    [[nodiscard]] QMenu* create_context_menu();

    QSize sizeHint() const override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Editing: every change goes through changed(), every move of the
    // cursor or the selection through moved().
    void changed(const TextChange& change);
    void moved(bool selection_changed);
    [[nodiscard]] bool handle_movement(QKeyEvent* event);
    [[nodiscard]] bool handle_editing(QKeyEvent* event);
    void text_changed();

    // Geometry, in the box's coordinates.
    [[nodiscard]] int frame_width() const;
    void place_scroll_bar();
    [[nodiscard]] int line_height() const;
    [[nodiscard]] const std::vector<double>& edges_of(std::size_t line) const;
    [[nodiscard]] double x_of(std::size_t position) const;
    [[nodiscard]] double shown_x(std::size_t position) const;
    [[nodiscard]] std::size_t position_of(const QPoint& point) const;
    [[nodiscard]] QRect cursor_rect_at(std::size_t position, double x) const;
    [[nodiscard]] QRect caret_rect() const;
    [[nodiscard]] bool composing() const { return !preedit_.isEmpty(); }
    void show_cursor();
    void update_scroll_range();
    void set_first_line(int first);
    void restart_blink();

    // Drawing.
    void draw_line(QPainter& painter, std::size_t line, int y, const QRect& dirty) const;
    void draw_units(QPainter& painter, std::size_t line, std::size_t from, std::size_t to, double origin, int y,
                    const QRect& dirty) const;
    void draw_mark(QPainter& painter, char16_t unit, const QRectF& box) const;

    ValueEdit edit_;
    QScrollBar* scroll_bar_;
    // The edges of the lines drawn or walked so far, by line; dropped when
    // the text or the font changes.
    mutable std::vector<std::unique_ptr<std::vector<double>>> edges_;
    std::shared_ptr<GlyphAdvances> advances_;
    // The x the cursor keeps when it goes up and down.
    double goal_x_ = -1;
    int first_line_ = 0;
    double scroll_x_ = 0;

    // An input method's composition: its text laid out with the formats it
    // came with, its width, and where its own cursor stands in it.
    QString preedit_;
    std::unique_ptr<QTextLayout> preedit_layout_;
    double preedit_width_ = 0;
    double preedit_cursor_x_ = 0;
    bool preedit_cursor_shown_ = true;

    std::function<void()> on_edited_;
    QBasicTimer blink_;
    bool cursor_on_ = false;
    bool selecting_ = false;
};

}  // namespace postori
