// SPDX-License-Identifier: GPL-3.0-or-later
// The result view: the framed white area of the main window holding one row
// of two edit boxes per captured field (name left, value right), and the
// scroll bar beside it that moves the rows.
#pragma once

#include <QFrame>
#include <vector>

#include "app/core/result_layout.h"
#include "app/core/result_rows.h"

class QLineEdit;
class QScrollBar;

namespace postori {

class ValueBox;

class ResultPane final : public QFrame {
public:
    // The rows are children of the pane's client area and go with it.
    explicit ResultPane(QWidget* parent);

    // Takes over the scroll bar beside the pane: its position becomes the
    // rows' offset, its notifications move them.
    void attach_scroll_bar(QScrollBar* scroll);

    // The area inside the frame's edge; the rows are laid out in its
    // coordinates and clipped to it.
    [[nodiscard]] QWidget* client() const { return client_; }

    [[nodiscard]] int client_width() const;
    [[nodiscard]] int client_height() const;

    // Shows `rows` in place of the rows before, from the top: two boxes each,
    // laid out for the client area's width as it is now, and the scroll
    // range for their height.
    void show_rows(const std::vector<ResultRow>& rows);
    // Removes every row and puts the scroll position back to 0.
    void clear_rows();
    // True once any value box was changed by the user since the rows were
    // shown.
    [[nodiscard]] bool edited_since_shown() const { return edited_; }

    // A notification of the scroll bar: moves the rows by the distance the
    // code gives, within the scroll range.
    void on_scroll(ScrollCode code, int thumb);

    // The rows, in creation order: entry i of both makes row i.
    [[nodiscard]] const std::vector<QLineEdit*>& name_rows() const { return name_rows_; }
    [[nodiscard]] const std::vector<ValueBox*>& value_rows() const { return value_rows_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void add_row(const ResultRow& row, int pane_width);
    void set_scroll_extent(std::int64_t total_height);
    [[nodiscard]] int scroll_target(ScrollCode code, int thumb) const;
    void follow_scroll_position(int position);
    QWidget* band_for_row(std::size_t index, int top, int pane_width);

    QWidget* client_;
    QScrollBar* scroll_ = nullptr;
    // How far the rows are moved up now, in pixels.
    int offset_ = 0;
    std::vector<QLineEdit*> name_rows_;
    std::vector<ValueBox*> value_rows_;
    // Rows are held in bands of ROWS_PER_BAND consecutive rows, transparent
    // children of the client area: Qt's cost of adding a child grows with its
    // siblings, and a thousand rows as direct siblings take twice as long.
    std::vector<QWidget*> bands_;
    bool edited_ = false;
};

}  // namespace postori
