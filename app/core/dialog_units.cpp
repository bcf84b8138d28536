// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/dialog_units.h"

#include <algorithm>
#include <cstdint>

namespace postori {

DialogBaseUnits base_units_of_font(int letters_advance, int font_height) {
    return {(letters_advance / 26 + 1) / 2, font_height};
}

int mul_div(int value, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    const std::int64_t product = std::int64_t{value} * numerator;
    const std::int64_t half = (denominator < 0 ? -std::int64_t{denominator} : std::int64_t{denominator}) / 2;
    const bool negative = (product < 0) != (denominator < 0);
    const std::int64_t magnitude = (product < 0 ? -product : product) + half;
    const std::int64_t quotient =
        magnitude / (denominator < 0 ? -std::int64_t{denominator} : std::int64_t{denominator});
    return static_cast<int>(negative ? -quotient : quotient);
}

PixelRect map_dialog_rect(const DialogRect& rect, DialogBaseUnits base) {
    return {mul_div(rect.x, base.x, 4), mul_div(rect.y, base.y, 8), mul_div(rect.cx, base.x, 4),
            mul_div(rect.cy, base.y, 8)};
}

GroupBoxParts group_box_parts(int width, int height, int caption_width, DialogBaseUnits base) {
    const int line = base.y / 2;
    GroupBoxParts parts{{0, line, width, std::max(0, height - line)}, {}};
    if (caption_width > 0) {
        const int left = base.x;
        parts.caption = {left, 0, std::clamp(caption_width + 2, 0, std::max(0, width - 2 * left)), base.y};
    }
    return parts;
}

}  // namespace postori
