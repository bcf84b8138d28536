// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/result_rows.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/core/result_layout.h"

namespace postori {
namespace {

// One row per field, below each other: the name as the row shows it (a
// urlencoded one as received), the field's name read in the code for screen
// readers, the value decoded and converted.
TEST(ResultRows, OneRowPerFieldInOrderBelowEachOther) {
    const std::vector<ResultRow> rows = result_rows(
        {{"%E5%90%8D", "%E5%B1%B1%E7%94%B0"}, {"memo", "a%0D%0Ab%0D%0Ac"}, {"empty", ""}}, CodeChoice::Utf8);
    const std::vector<ResultRow> expected = {
        {"%E5%90%8D", "\x96\xBC", "\x8ER\x93\x63", 1, 0},  // 名, 山田
        {"memo", "memo", "a\r\nb\r\nc", 2, 20},
        {"empty", "empty", "", 1, 60},
    };
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(rows_height(rows), 80);
    EXPECT_TRUE(result_rows({}, CodeChoice::EucJp).empty());
    EXPECT_EQ(rows_height({}), 0);
}

// %A4%A2 is あ in EUC-JP and broken UTF-8.
TEST(ResultRows, ValuesAreConvertedFromTheCode) {
    const std::pair<std::optional<CodeChoice>, std::string> cases[] = {
        {CodeChoice::EucJp, "\x82\xA0"},
        {CodeChoice::ShiftJis, "\xA4\xA2"},
        {CodeChoice::Utf8, "??"},
        {std::nullopt, "\xA4\xA2"},  // no code: the bytes as they came
    };
    for (const auto& [code, value] : cases) {
        const std::vector<ResultRow> rows = result_rows({{"k", "%A4%A2"}}, code);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].value, value);
    }
}

TEST(ResultRows, LineCountsComeFromCarriageReturnsClampedToFour) {
    struct Case {
        const char* value;
        int lines;
    };
    const Case cases[] = {
        {"one", 1},        {"a%0Db", 1}, {"a%0D%0Ab%0D%0Ac", 2}, {"%0D%0D%0D%0D", 4}, {"%0D%0D%0D%0D%0D%0D%0D", 4},
        {"a%0Ab%0Ac", 1},   // line feeds alone are not counted
        {"x%00%0D%0D", 1},  // the value ends at a decoded zero byte
    };
    std::vector<FormField> fields;
    for (const Case& c : cases) {
        fields.push_back({"f", c.value});
    }
    const std::vector<ResultRow> rows = result_rows(fields, CodeChoice::ShiftJis);
    ASSERT_EQ(rows.size(), std::size(cases));
    int top = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(rows[i].lines, cases[i].lines) << cases[i].value;
        EXPECT_EQ(rows[i].top, top);
        top += cases[i].lines * LINE_HEIGHT;
    }
    EXPECT_EQ(rows.back().value, "x");
    EXPECT_EQ(rows_height(rows), top);
}

}  // namespace
}  // namespace postori
