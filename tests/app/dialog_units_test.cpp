// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/dialog_units.h"

#include <gtest/gtest.h>

namespace postori {
namespace {

TEST(DialogUnits, ScaleByTheFontAndRoundToNearest) {
    EXPECT_EQ(base_units_of_font(369, 13).x, 7);  // 52 letters 369 px wide: 14 per pair, 7
    EXPECT_EQ(base_units_of_font(312, 12).x, 6);
    EXPECT_EQ(base_units_of_font(312, 12).y, 12);
    const DialogBaseUnits units{7, 13};
    EXPECT_EQ(map_dialog_rect({282, 232, 282, 232}, units), (PixelRect{494, 377, 494, 377}));
    EXPECT_EQ(map_dialog_rect({7, 79, 255, 146}, units), (PixelRect{12, 128, 446, 237}));
    EXPECT_EQ(map_dialog_rect({1, 1, 2, 3}, {6, 12}), (PixelRect{2, 2, 3, 5}));
    EXPECT_EQ(mul_div(-3, 6, 4), -5);
    EXPECT_EQ(mul_div(5, 1, 0), -1);
}

// The frame's top line through the middle of the caption's line, the
// caption on it one average character in, never wider than the frame allows.
TEST(GroupBoxParts, CaptionStandsOnTheFrameLine) {
    struct Case {
        int width, height, caption_width;
        DialogBaseUnits base;
        PixelRect frame, caption;
    };
    const Case cases[] = {
        {142, 102, 60, {7, 13}, {0, 6, 142, 96}, {7, 0, 62, 13}},        // エンコード at 100 %
        {142, 102, 0, {7, 13}, {0, 6, 142, 96}, {}},                     // no caption
        {40, 30, 60, {7, 13}, {0, 6, 40, 24}, {7, 0, 26, 13}},           // cut to the frame
        {12, 4, 60, {7, 13}, {0, 6, 12, 0}, {7, 0, 0, 13}},              // too small for either
        {284, 204, 120, {14, 26}, {0, 13, 284, 191}, {14, 0, 122, 26}},  // a font twice as big
    };
    for (const Case& c : cases) {
        const GroupBoxParts parts = group_box_parts(c.width, c.height, c.caption_width, c.base);
        EXPECT_EQ(parts.frame, c.frame) << c.width << " " << c.caption_width;
        EXPECT_EQ(parts.caption, c.caption) << c.width << " " << c.caption_width;
    }
}

}  // namespace
}  // namespace postori
