// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/captured_values.h"

#include <gtest/gtest.h>

#include <string>

namespace postori {
namespace {

TEST(ValueAsSjis, DecodesThenConvertsByTheChoice) {
    struct Case {
        const char* raw;
        CodeChoice choice;
        std::string sjis;
    };
    const Case cases[] = {
        {"%A4%A2", CodeChoice::EucJp, "\x82\xA0"},
        {"%E3%81%82", CodeChoice::Utf8, "\x82\xA0"},
        {"%82%A0", CodeChoice::ShiftJis, "\x82\xA0"},
        {"a+b%00c", CodeChoice::ShiftJis, "a b"},
        {"%8E%B1+x", CodeChoice::EucJp, "\xB1 x"},
        {"%E3%81", CodeChoice::Utf8, "??"},
        {"line1%0D%0Aline2", CodeChoice::Utf8, "line1\r\nline2"},
        {"", CodeChoice::EucJp, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(value_as_sjis(c.raw, c.choice), c.sjis) << c.raw;
    }
}

}  // namespace
}  // namespace postori
