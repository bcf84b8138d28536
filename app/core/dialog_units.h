// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog units: template coordinates that scale with the dialog's font. A
// horizontal unit is a quarter of the font's average character width, a
// vertical unit an eighth of its height, both converted the way the window
// system does it, so layouts keep their proportions whatever font stands in.
#pragma once

#include "app/core/resources.h"

namespace postori {

struct DialogBaseUnits {
    int x = 0;  // average character width in pixels
    int y = 0;  // font height in pixels
};

// The base units of a font, from the advance of the 52 letters "A".."Z"
// "a".."z" side by side and the font's height: x is that advance over 26,
// halved and rounded ((w / 26 + 1) / 2), y the height.
[[nodiscard]] DialogBaseUnits base_units_of_font(int letters_advance, int font_height);

// A pixel rectangle: left, top, width, height.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Scales `value` by numerator / denominator, rounding half away from zero.
[[nodiscard]] int mul_div(int value, int numerator, int denominator);

// A dialog-unit rectangle in pixels: x * base.x / 4, y * base.y / 8 (each
// rounded to the nearest pixel).
[[nodiscard]] PixelRect map_dialog_rect(const DialogRect& rect, DialogBaseUnits base);

// A group box laid out as the dialog draws it: its frame's top line runs
// through the middle of the caption's line, and the caption stands on that
// line, one average character in from the frame's left, with the dialog's
// background behind it (one pixel each side). Both rectangles are in the
// box's own pixels, for a box `width` x `height` with a caption of
// `caption_width` pixels in a font `base` measures.
struct GroupBoxParts {
    PixelRect frame;
    PixelRect caption;  // empty without a caption
};
[[nodiscard]] GroupBoxParts group_box_parts(int width, int height, int caption_width, DialogBaseUnits base);

}  // namespace postori
