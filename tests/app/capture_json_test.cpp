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

// The object's shape, and each field's texts as the window would show
// them: a urlencoded name as received, the name decoded in the values'
// code, the value decoded, converted and cut at its first zero byte; a
// multipart name read in the code, and a file's details.
TEST(CaptureJson, ObjectHoldsTheCodeAndEveryFieldInOrder) {
    CaptureResult result;
    result.content_type = "application/x-www-form-urlencoded";
    result.fields = {
        {"%A4%AA%CC%BE%C1%B0", "%BB%B3%C5%C4+%B2%D6%BB%D2"},  // お名前 = 山田 花子 in EUC-JP
        {"memo", "1%0D%0A2%00hidden"},
        {"\x82\xA0", "%22q%22"},  // a raw name read as Shift_JIS
        {"empty", ""},
    };
    EXPECT_EQ(capture_json(result, CodeChoice::EucJp, CodeSource::Vote),
              "{\"code\":\"euc\",\"voted\":true,\"chosen_by\":\"vote\","
              "\"content_type\":\"application/x-www-form-urlencoded\",\"complete\":true,\"fields\":["
              "{\"name\":\"%A4%AA%CC%BE%C1%B0\",\"decoded_name\":\"お名前\",\"value\":\"山田 花子\"},"
              "{\"name\":\"memo\",\"decoded_name\":\"memo\",\"value\":\"1\\r\\n2\"},"
              "{\"name\":\"あ\",\"decoded_name\":\"あ\",\"value\":\"\\\"q\\\"\"},"
              "{\"name\":\"empty\",\"decoded_name\":\"empty\",\"value\":\"\"}]}\n");

    CaptureResult multipart;
    multipart.content_type = "multipart/form-data";
    multipart.complete = false;
    FormField name{"\xA4\xAA", "%41", FieldKind::Text};  // お in EUC-JP; a text value is not decoded
    FormField file{"attach", "", FieldKind::File, {"\xB8\xAB\xC0\xD1\xBD\xF1.pdf", "application/pdf", 15}};
    multipart.fields = {name, file};
    EXPECT_EQ(capture_json(multipart, CodeChoice::EucJp, CodeSource::CharsetField),
              "{\"code\":\"euc\",\"voted\":true,\"chosen_by\":\"_charset_\","
              "\"content_type\":\"multipart/form-data\",\"complete\":false,\"fields\":["
              "{\"name\":\"お\",\"decoded_name\":\"お\",\"value\":\"%41\"},"
              "{\"name\":\"attach\",\"decoded_name\":\"attach\",\"value\":\"見積書.pdf（application/pdf、15 バイト）\","
              "\"file\":{\"filename\":\"見積書.pdf\",\"content_type\":\"application/pdf\",\"size\":15}}]}\n");

    EXPECT_EQ(capture_json({}, CodeChoice::Utf8, CodeSource::Settings),
              "{\"code\":\"utf8\",\"voted\":false,\"chosen_by\":\"option\",\"content_type\":\"\","
              "\"complete\":true,\"fields\":[]}\n");
}

}  // namespace
}  // namespace postori
