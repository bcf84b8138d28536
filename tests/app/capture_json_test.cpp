// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/capture_json.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/bytes.h"

namespace postori {
namespace {

using test_support::hex;

// What a JSON string literal must be made of any bytes: valid UTF-8 kept,
// each maximal ill-formed subpart one U+FFFD, the characters JSON reserves
// escaped. (That every literal reads back is the JSON fuzz target's check.)
TEST(JsonString, EscapesAndReplaces) {
    struct Case {
        const char* label;
        std::string text;
        std::string literal;
    };
    const std::string r = "\xEF\xBF\xBD";  // U+FFFD
    const Case cases[] = {
        {"ascii", "abc =&%", "\"abc =&%\""},
        {"quote_and_backslash", "a\"b\\c/", "\"a\\\"b\\\\c/\""},
        {"named_controls", "\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {"other_controls", std::string("\x01\x1F\x7F", 3), "\"\\u0001\\u001F\x7F\""},
        {"zero_byte", std::string("a\0b", 3), "\"a\\u0000b\""},
        {"two_three_and_four_bytes", "\xC3\xA9\xE3\x81\x82\xF0\xA0\x80\x8B",
         "\"\xC3\xA9\xE3\x81\x82\xF0\xA0\x80\x8B\""},
        {"lone_continuation", "a\x80z", "\"a" + r + "z\""},
        {"overlong_lead_bytes", "\xC0\x80", "\"" + r + r + "\""},
        {"cut_sequence_is_one", "\xE3\x81", "\"" + r + "\""},
        {"cut_before_ascii", "\xE3\x81\x41", "\"" + r + "A\""},
        {"surrogate", "\xED\xA0\x80", "\"" + r + r + r + "\""},
        {"above_10FFFF", "\xF4\x90\x80\x80", "\"" + r + r + r + r + "\""},
        {"overlong_three", "\xE0\x80\xAF", "\"" + r + r + r + "\""},
        {"invalid_leads", "\xF5\xFE\xFF", "\"" + r + r + r + "\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string literal = json_string(c.text);
        EXPECT_EQ(literal, c.literal) << hex(literal);
    }
}

// The object's shape, and each field's three texts as the window would
// show them: the name as received, the name decoded in the values' code,
// the value decoded, converted and cut at its first zero byte.
TEST(CaptureJson, ObjectHoldsTheCodeAndEveryFieldInOrder) {
    const std::vector<FormField> fields = {
        {"%A4%AA%CC%BE%C1%B0", "%BB%B3%C5%C4+%B2%D6%BB%D2"},  // お名前 = 山田 花子 in EUC-JP
        {"memo", "1%0D%0A2%00hidden"},
        {"\x82\xA0", "%22q%22"},  // a raw name read as Shift_JIS
        {"empty", ""},
    };
    EXPECT_EQ(capture_json(fields, CodeChoice::EucJp, true),
              "{\"code\":\"euc\",\"voted\":true,\"fields\":["
              "{\"name\":\"%A4%AA%CC%BE%C1%B0\",\"decoded_name\":\"お名前\",\"value\":\"山田 花子\"},"
              "{\"name\":\"memo\",\"decoded_name\":\"memo\",\"value\":\"1\\r\\n2\"},"
              "{\"name\":\"あ\",\"decoded_name\":\"あ\",\"value\":\"\\\"q\\\"\"},"
              "{\"name\":\"empty\",\"decoded_name\":\"empty\",\"value\":\"\"}]}\n");
    EXPECT_EQ(capture_json({}, CodeChoice::Utf8, false), "{\"code\":\"utf8\",\"voted\":false,\"fields\":[]}\n");
    EXPECT_EQ(
        capture_json({{"a", "%82%A0"}}, CodeChoice::ShiftJis, false),
        "{\"code\":\"sjis\",\"voted\":false,\"fields\":[{\"name\":\"a\",\"decoded_name\":\"a\",\"value\":\"あ\"}]}\n");
}

}  // namespace
}  // namespace postori
