// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/result_layout.h"

#include <algorithm>
#include <cstdint>

namespace postori {

RowRects row_rects(int pane_width, int top, int lines) {
    const int third = pane_width / 3;
    return {
        {0, top, third - 2, LINE_HEIGHT - 2},
        {third, top, pane_width - 1 - third, LINE_HEIGHT * lines - 2},
    };
}

int row_line_count(std::int32_t carriage_returns) {
    return std::clamp(carriage_returns, 1, MAX_ROW_LINES);
}

int scroll_maximum(std::int64_t total_height, int pane_height) {
    const std::int64_t maximum = total_height + LINE_HEIGHT - pane_height;
    return static_cast<int>(std::clamp<std::int64_t>(maximum, 1, INT32_MAX));
}

int scroll_distance(ScrollCode code, int thumb, int position, int maximum) {
    std::int64_t d = 0;
    switch (code) {
        case ScrollCode::LineUp:
            d = -LINE_HEIGHT;
            break;
        case ScrollCode::LineDown:
            d = LINE_HEIGHT;
            break;
        case ScrollCode::PageUp:
            d = -PAGE_LINES * LINE_HEIGHT;
            break;
        case ScrollCode::PageDown:
            d = PAGE_LINES * LINE_HEIGHT;
            break;
        case ScrollCode::ThumbTrack:
            d = std::int64_t{thumb} - position;
            break;
        case ScrollCode::ThumbPosition:
        case ScrollCode::Top:
        case ScrollCode::Bottom:
        case ScrollCode::EndScroll:
            break;
    }
    if (position + d < 0) {
        d = -std::int64_t{position};
    }
    if (position + d > maximum) {
        d = std::int64_t{maximum} - position;
    }
    return static_cast<int>(d);
}

}  // namespace postori
