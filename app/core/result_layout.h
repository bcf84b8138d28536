// SPDX-License-Identifier: GPL-3.0-or-later
// The arithmetic of the result view: where each row's two boxes go, how many
// lines a value gets, and how the scroll bar moves the rows. Pixels in the
// result pane's client area throughout.
#pragma once

#include <cstdint>

#include "app/core/dialog_units.h"

namespace postori {

// Height of one line of a row, and the unit of line and page scrolling.
inline constexpr int LINE_HEIGHT = 20;
// Lines one page scroll moves.
inline constexpr int PAGE_LINES = 5;
// Most lines a value box is given.
inline constexpr int MAX_ROW_LINES = 4;
// Ids of row i's boxes, unique among the pane's children.
inline constexpr int NAME_ROW_ID_BASE = 1000;
inline constexpr int VALUE_ROW_ID_BASE = 2000;

// The boxes of one row laid out in a pane client area `pane_width` wide, the
// row's top at `top`, `lines` lines high: the name box one line high on the
// left third, the value box `lines` lines high on the rest, each 2 pixels
// short of the next box and the next row.
struct RowRects {
    PixelRect name;
    PixelRect value;
};
[[nodiscard]] RowRects row_rects(int pane_width, int top, int lines);

// The lines of a row whose value holds `carriage_returns` carriage returns:
// that many, at least 1 and at most MAX_ROW_LINES.
[[nodiscard]] int row_line_count(std::int32_t carriage_returns);

// The largest scroll position for rows `total_height` pixels high in a pane
// whose client area is `pane_height` high: room for one more line below the
// last row, and at least 1.
[[nodiscard]] int scroll_maximum(std::int64_t total_height, int pane_height);

// Scroll-bar notifications.
enum class ScrollCode {
    LineUp,
    LineDown,
    PageUp,
    PageDown,
    ThumbTrack,
    ThumbPosition,
    Top,
    Bottom,
    EndScroll,
};

// How far the rows move for a notification: the distance by the code (for a
// track, to the reported thumb position), kept within 0 .. maximum. A
// positive distance moves the content up.
[[nodiscard]] int scroll_distance(ScrollCode code, int thumb, int position, int maximum);

}  // namespace postori
