// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/result_layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace postori {
namespace {

TEST(RowRects, NameOnTheLeftThirdValueOnTheRest) {
    struct Case {
        int width, top, lines;
        PixelRect name, value;
    };
    const Case cases[] = {
        {442, 0, 1, {0, 0, 145, 18}, {147, 0, 294, 18}},   {442, 40, 4, {0, 40, 145, 18}, {147, 40, 294, 78}},
        {300, 20, 2, {0, 20, 98, 18}, {100, 20, 199, 38}}, {301, 0, 3, {0, 0, 98, 18}, {100, 0, 200, 58}},
        {3, 0, 1, {0, 0, -1, 18}, {1, 0, 1, 18}},
    };
    for (const Case& c : cases) {
        const RowRects rects = row_rects(c.width, c.top, c.lines);
        EXPECT_EQ(rects.name, c.name) << c.width << " " << c.lines;
        EXPECT_EQ(rects.value, c.value) << c.width << " " << c.lines;
    }
}

TEST(RowLineCount, ClampsCarriageReturnsToOneThroughFour) {
    const std::pair<std::int32_t, int> cases[] = {{0, 1}, {1, 1}, {2, 2}, {4, 4}, {5, 4}, {7, 4}, {INT32_MAX, 4}};
    for (const auto& [returns, lines] : cases) {
        EXPECT_EQ(row_line_count(returns), lines) << returns;
    }
}

TEST(ScrollMaximum, LeavesOneLineBelowTheLastRowAndIsAtLeastOne) {
    struct Case {
        std::int64_t total;
        int pane;
        int maximum;
    };
    const Case cases[] = {
        {0, 230, 1},       // empty capture: range 0..1
        {1000, 230, 790},  // at 790 the last row ends 20 pixels above the bottom
        {210, 230, 1},    {211, 230, 1}, {212, 230, 2}, {80'000, 230, 79'790},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scroll_maximum(c.total, c.pane), c.maximum) << c.total;
    }
}

TEST(ScrollDistance, MovesByTheCodeWithinTheRange) {
    struct Case {
        ScrollCode code;
        int thumb, position, maximum;
        int distance;
    };
    const Case cases[] = {
        // Before any capture the range is empty: nothing moves.
        {ScrollCode::LineDown, 0, 0, 0, 0},
        {ScrollCode::PageDown, 0, 0, 0, 0},
        {ScrollCode::ThumbTrack, 5, 0, 0, 0},
        // After an empty capture (0..1): down by one pixel, and back.
        {ScrollCode::LineDown, 0, 0, 1, 1},
        {ScrollCode::PageDown, 0, 0, 1, 1},
        {ScrollCode::LineUp, 0, 1, 1, -1},
        {ScrollCode::PageUp, 0, 1, 1, -1},
        // Lines and pages.
        {ScrollCode::LineDown, 0, 100, 790, 20},
        {ScrollCode::LineUp, 0, 100, 790, -20},
        {ScrollCode::PageDown, 0, 100, 790, 100},
        {ScrollCode::PageUp, 0, 300, 790, -100},
        {ScrollCode::LineUp, 0, 10, 790, -10},    // stops at 0
        {ScrollCode::PageDown, 0, 750, 790, 40},  // stops exactly at the maximum
        {ScrollCode::PageDown, 0, 790, 790, 0},
        // The thumb: dragged to a position; its final report moves nothing.
        {ScrollCode::ThumbTrack, 500, 100, 790, 400},
        {ScrollCode::ThumbTrack, 2000, 100, 790, 690},
        {ScrollCode::ThumbTrack, -5, 100, 790, -100},
        {ScrollCode::ThumbPosition, 500, 100, 790, 0},
        {ScrollCode::Top, 0, 100, 790, 0},
        {ScrollCode::Bottom, 0, 100, 790, 0},
        {ScrollCode::EndScroll, 0, 100, 790, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scroll_distance(c.code, c.thumb, c.position, c.maximum), c.distance)
            << static_cast<int>(c.code) << " at " << c.position << " of " << c.maximum;
    }
}

}  // namespace
}  // namespace postori
