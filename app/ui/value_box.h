// SPDX-License-Identifier: GPL-3.0-or-later
// A value box: the right-hand box of a result row. An editable multi-line
// edit box with its own vertical scroll bar and no word wrap, drawn and
// edited by itself in one widget, so a thousand rows are quick to make and a
// very long line costs nothing while nobody types.
//
// It holds its text exactly (line ends as received); a carriage return (or a
// CR LF pair) ends a line, any other control character, a lone line feed
// among them, is shown as a small mark. Enter is left to the dialog (it
// starts a capture); Ctrl+Enter makes a new line, ended by CR LF.
#pragma once

#include <QBasicTimer>
#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

#include "app/core/value_text.h"

class QMenu;
class QMimeData;
class QStyleOptionSlider;

namespace postori {

class GlyphAdvances;

class ValueBox final : public QWidget {
public:
    explicit ValueBox(QWidget* parent);
    ~ValueBox() override;

    // The text, exactly as held; setting it puts the cursor at its start and
    // shows its first line.
    void set_text(const QString& text);
    [[nodiscard]] const QString& text() const { return text_; }
    [[nodiscard]] int line_count() const { return static_cast<int>(lines_.size()); }

    // The cursor and the selection (the text between the anchor and the
    // cursor), as positions in the text.
    [[nodiscard]] qsizetype cursor_position() const { return cursor_; }
    void set_cursor_position(qsizetype position, bool keep_anchor = false);
    [[nodiscard]] QString selected_text() const;
    void select_all();

    // The clipboard commands of the box's menu and keys.
    void copy() const;
    void cut();
    void paste();
    // Undoes the last change; a second undo redoes it.
    void undo();

    // The lines in view: the first one, and how many whole lines fit.
    [[nodiscard]] int first_visible_line() const { return first_line_; }
    [[nodiscard]] int visible_lines() const;
    // Where the scroll bar and the text are drawn, in the box's coordinates.
    [[nodiscard]] QRect scroll_bar_rect() const;
    [[nodiscard]] QRect text_rect() const;

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
    // Editing.
    void replace_selection(const QString& with, bool typing = false);
    void remember_for_undo(bool typing);
    [[nodiscard]] bool has_selection() const { return cursor_ != anchor_; }
    [[nodiscard]] bool handle_movement(QKeyEvent* event);
    [[nodiscard]] bool handle_editing(QKeyEvent* event);
    void text_changed();

    // Geometry and drawing.
    [[nodiscard]] int line_height() const;
    [[nodiscard]] const std::vector<double>& edges_of(std::size_t line) const;
    [[nodiscard]] double x_of(qsizetype position) const;
    [[nodiscard]] qsizetype position_at(const QPoint& point) const;
    [[nodiscard]] QRect cursor_rect() const;
    void show_cursor();
    void draw_line(QPainter& painter, std::size_t line, int y, const QRect& area) const;
    void draw_mark(QPainter& painter, char16_t unit, const QRectF& box) const;
    void init_scroll_bar_option(QStyleOptionSlider& option) const;
    void set_first_line(int first);
    void restart_blink();

    // The scroll bar's mouse handling.
    void scroll_bar_pressed(const QPoint& point);
    void scroll_bar_step();

    QString text_;
    std::vector<TextLine> lines_;
    // The edges of the lines drawn or walked so far, by line; dropped when
    // the text or the font changes.
    mutable std::vector<std::unique_ptr<std::vector<double>>> edges_;
    std::shared_ptr<GlyphAdvances> advances_;

    qsizetype cursor_ = 0;
    qsizetype anchor_ = 0;
    // The x the cursor keeps when it goes up and down.
    double goal_x_ = -1;
    int first_line_ = 0;
    double scroll_x_ = 0;
    QString preedit_;

    // Undo: the text and cursor before the last change, and whether that
    // change is typing that more typing joins.
    QString undo_text_;
    qsizetype undo_cursor_ = 0;
    bool can_undo_ = false;
    bool typing_run_ = false;

    QBasicTimer blink_;
    bool cursor_on_ = false;

    // The scroll bar: the part pressed, repeated while held.
    int pressed_control_ = 0;
    QBasicTimer repeat_;
    int drag_offset_ = 0;
    bool selecting_ = false;
};

}  // namespace postori
