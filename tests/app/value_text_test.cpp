// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/value_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/form_body.h"

namespace postori {
namespace {

// The lines a box shows are the row's line rule: one more than the carriage
// returns, so the box's height (from the same count) and what it shows
// agree; a lone LF stays inside its line.
TEST(SplitLines, CarriageReturnsEndLinesAndLineFeedsAloneDoNot) {
    using L = TextLine;
    struct Case {
        std::u16string text;
        std::vector<TextLine> lines;
    };
    const Case cases[] = {
        {u"", {L{0, 0, LineEnd::None}}},
        {u"abc", {L{0, 3, LineEnd::None}}},
        {u"a\r\nb", {L{0, 1, LineEnd::CrLf}, L{3, 1, LineEnd::None}}},
        {u"a\rb", {L{0, 1, LineEnd::Cr}, L{2, 1, LineEnd::None}}},
        {u"line1\nline2\nline3", {L{0, 17, LineEnd::None}}},
        {u"a\r\r\nb\n", {L{0, 1, LineEnd::Cr}, L{2, 0, LineEnd::CrLf}, L{4, 2, LineEnd::None}}},
        {u"\r\n", {L{0, 0, LineEnd::CrLf}, L{2, 0, LineEnd::None}}},
        {u"a\n\rb", {L{0, 2, LineEnd::Cr}, L{3, 1, LineEnd::None}}},
    };
    for (const Case& c : cases) {
        const std::vector<TextLine> lines = split_lines(c.text);
        EXPECT_EQ(lines, c.lines) << &c - cases;
        // As many lines as the carriage returns the row's height counts, and one.
        const std::string bytes(c.text.begin(), c.text.end());
        EXPECT_EQ(lines.size(), static_cast<std::size_t>(count_char(bytes.c_str(), '\r')) + 1) << &c - cases;
    }
}

TEST(LineOf, FindsTheLineHoldingAPosition) {
    const std::vector<TextLine> lines = split_lines(u"ab\r\ncd\re");
    const std::pair<std::size_t, std::size_t> cases[] = {{0, 0}, {2, 0}, {4, 1}, {6, 1}, {7, 2}, {8, 2}};
    for (const auto& [position, line] : cases) {
        EXPECT_EQ(line_of(lines, position), line) << position;
    }
}

TEST(ShownAsMark, ControlsButCarriageReturnAndTab) {
    for (const char16_t unit : {u'\n', u'\0', char16_t{0x1B}, char16_t{0x7F}}) {
        EXPECT_TRUE(shown_as_mark(unit)) << int{unit};
    }
    for (const char16_t unit : {u'\r', u'\t', u' ', u'あ'}) {
        EXPECT_FALSE(shown_as_mark(unit)) << int{unit};
    }
}

// A CR LF pair (and a surrogate pair) is one step of the cursor; a lone CR
// or LF is one unit like any other.
TEST(CursorSteps, StepOverPairsAsOneUnit) {
    const std::u16string text = u"a\r\nb\rc\nd\U0001F600";
    struct Case {
        std::size_t from, next, previous, valid;
    };
    const Case cases[] = {
        {0, 1, 0, 0},    {1, 3, 0, 1},    {2, 3, 0, 1},  // inside CR LF: onto its CR
        {3, 4, 1, 3},    {4, 5, 3, 4},    {5, 6, 4, 5},
        {6, 7, 5, 6},    {8, 10, 7, 8},   {9, 10, 7, 8},  // inside the surrogate pair
        {10, 10, 8, 10}, {99, 10, 8, 10},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(next_position(text, c.from), c.next) << c.from;
        EXPECT_EQ(previous_position(text, c.from), c.previous) << c.from;
        EXPECT_EQ(valid_position(text, c.from), c.valid) << c.from;
    }
}

TEST(WordSteps, RunsOfOneKindAndLineEndsStopOnTheirOwn) {
    // "abc def" / "漢字ひらがなカタカナ" after a CR LF
    const std::u16string text = u"abc  def,\r\n漢字ひらがなカタカナ";
    struct Case {
        std::size_t from, next, previous;
    };
    const Case cases[] = {
        {0, 5, 0}, {2, 5, 0}, {5, 8, 0}, {8, 9, 5}, {9, 11, 8}, {11, 13, 9}, {13, 17, 11}, {17, 21, 13}, {21, 21, 17},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(next_word_start(text, c.from), c.next) << c.from;
        EXPECT_EQ(previous_word_start(text, c.from), c.previous) << c.from;
    }
    const std::pair<std::size_t, UnitRange> words[] = {
        {1, {0, 3}}, {3, {3, 5}}, {12, {11, 13}}, {15, {13, 17}}, {21, {17, 21}}, {9, {8, 9}}, {11, {11, 13}},
    };
    for (const auto& [position, word] : words) {
        EXPECT_EQ(word_at(text, position), word) << position;
    }
    EXPECT_EQ(word_at(u"a\r\n\r\nb", 3), (UnitRange{3, 3}));  // an empty line
}

TEST(Edges, HitTestingAndTheFirstUnitToDraw) {
    const std::vector<double> edges{0, 7, 14, 26, 38};
    const std::pair<double, std::size_t> hits[] = {{-5, 0}, {3, 0}, {3.5, 0}, {4, 1}, {20, 2}, {21, 3}, {99, 4}};
    for (const auto& [x, boundary] : hits) {
        EXPECT_EQ(boundary_at_x(edges, x), boundary) << x;
    }
    const std::pair<double, std::size_t> draws[] = {{0, 0}, {6.9, 0}, {7, 1}, {25, 2}, {38, 4}, {50, 4}};
    for (const auto& [x, unit] : draws) {
        EXPECT_EQ(first_unit_past(edges, x), unit) << x;
    }
    EXPECT_EQ(boundary_at_x({}, 5), 0u);
    EXPECT_EQ(first_unit_past({0}, 5), 0u);
}

TEST(Scrolling, SidewaysToTheCursorAndByWholeLines) {
    struct Sideways {
        double scroll, x, width, margin, result;
    };
    const Sideways sideways[] = {
        {0, 50, 200, 28, 0},           // in view
        {0, 190, 200, 28, 18},         // near the right edge: a margin stays beyond it
        {500, 510, 200, 28, 482},      // near the left edge
        {500, 10, 200, 28, 0},         // never below 0
        {0, 1e7, 200, 28, 1e7 - 172},  // far along a very long line
        {0, 30, 30, 28, 10},           // the margin is at most a third of the view
    };
    for (const Sideways& c : sideways) {
        EXPECT_EQ(scroll_to_show(c.scroll, c.x, c.width, c.margin), c.result) << c.x;
    }
    // A box k lines high (20 k - 2 pixels, 4 of them frame) with 13-pixel
    // lines shows these whole lines.
    const std::pair<int, int> shown[] = {{14, 1}, {34, 2}, {54, 4}, {74, 5}, {5, 1}};
    for (const auto& [height, lines] : shown) {
        EXPECT_EQ(whole_lines(height, 13), lines) << height;
    }
    EXPECT_EQ(whole_lines(10, 0), 1);
    EXPECT_EQ(last_first_line(2, 1), 1);
    EXPECT_EQ(last_first_line(3, 5), 0);
    EXPECT_EQ(first_line_to_show(0, 3, 2), 2);
    EXPECT_EQ(first_line_to_show(4, 1, 2), 1);
    EXPECT_EQ(first_line_to_show(1, 2, 2), 1);
}

}  // namespace
}  // namespace postori
