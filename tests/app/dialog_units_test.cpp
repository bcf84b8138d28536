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

}  // namespace
}  // namespace postori
