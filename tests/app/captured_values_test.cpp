// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/captured_values.h"

#include <gtest/gtest.h>

#include <optional>
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

// What a row shows of each kind of field: a urlencoded name as received, any
// other read in the code; a file as its name, type and size.
TEST(FieldAsSjis, NameAndValueByKind) {
    struct Case {
        FormField field;
        std::optional<CodeChoice> code;
        std::string name;
        std::string value;
    };
    const Case cases[] = {
        {{"%A4%A2", "%A4%A2"}, CodeChoice::EucJp, "%A4%A2", "\x82\xA0"},
        {{"\xA4\xA2", "a+%41\r\n", FieldKind::Text}, CodeChoice::EucJp, "\x82\xA0", "a+%41\r\n"},
        {{"\xE3\x81\x82", std::string("x\0y", 3), FieldKind::Text},
         CodeChoice::Utf8,
         "\x82\xA0",
         std::string("x\0y", 3)},
        {{"f", "", FieldKind::File, {"\xE8\xA6\x8B.pdf", "application/pdf", 3145728}},
         CodeChoice::Utf8,
         "f",
         "\x8C\xA9.pdf\x81\x69"
         "application/pdf\x81\x41"
         "3,145,728 \x83\x6F\x83\x43\x83\x67\x81\x6A"},
        {{"f", "", FieldKind::File, {"a.txt", "", 0}},
         std::nullopt,
         "f",
         "a.txt\x81\x69"
         "0 \x83\x6F\x83\x43\x83\x67\x81\x6A"},
        {{"f", "", FieldKind::File, {"", "application/octet-stream", 0}},
         CodeChoice::EucJp,
         "f",
         "\x81\x69\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xC8\x82\xB5\x81\x6A"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(field_name_as_sjis(c.field, c.code), c.name) << c.field.name;
        EXPECT_EQ(field_value_as_sjis(c.field, c.code), c.value) << c.field.name;
    }
    EXPECT_EQ(grouped_digits(999), "999");
    EXPECT_EQ(grouped_digits(18446744073709551615ULL), "18,446,744,073,709,551,615");
}

}  // namespace
}  // namespace postori
