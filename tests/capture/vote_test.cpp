// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/vote.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/form_request.h"

namespace postori {
namespace {

using test_support::form_urlencode;

TEST(VoteCodeChoice, MostVotesWithTieOrder) {
    struct Case {
        std::int32_t sjis, euc, utf8;
        CodeChoice choice;
    };
    const Case cases[] = {
        {0, 0, 0, CodeChoice::EucJp},    {1, 1, 0, CodeChoice::EucJp},    {2, 0, 2, CodeChoice::Utf8},
        {0, 3, 3, CodeChoice::EucJp},    {3, 1, 2, CodeChoice::ShiftJis}, {1, 2, 3, CodeChoice::Utf8},
        {1, 0, 0, CodeChoice::ShiftJis}, {0, 1, 0, CodeChoice::EucJp},    {0, 0, 1, CodeChoice::Utf8},
        {2, 1, 3, CodeChoice::Utf8},     {2, 2, 1, CodeChoice::EucJp},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vote_code_choice(c.sjis, c.euc, c.utf8), c.choice) << c.sjis << " " << c.euc << " " << c.utf8;
    }
}

// The values' code elected over a whole form, as each value's detection
// votes; 7-bit values cast no vote.
TEST(VoteOverFields, EachSurelyDetectedValueVotesOnce) {
    // 山田太郎, 東京都千代田区 and あいう in each code.
    const std::string sjis[] = {"\x8E\x52\x93\x63\x91\xBE\x98\x59",
                                "\x93\x8C\x8B\x9E\x93\x73\x90\xE7\x91\xE3\x93\x63\x8B\xE6", "\x82\xA0\x82\xA2\x82\xA4"};
    const std::string euc[] = {"\xBB\xB3\xC5\xC4\xC2\xC0\xCF\xBA",
                               "\xC5\xEC\xB5\xFE\xC5\xD4\xC0\xE9\xC2\xE5\xC5\xC4\xB6\xE8", "\xA4\xA2\xA4\xA4\xA4\xA6"};
    const std::string utf8[] = {"\xE5\xB1\xB1\xE7\x94\xB0\xE5\xA4\xAA\xE9\x83\x8E",
                                "\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD\xE5\x8D\x83\xE4\xBB\xA3\xE7\x94\xB0\xE5\x8C\xBA",
                                "\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86"};
    // The values as a browser sends them: percent-encoded.
    const auto form = [](std::initializer_list<std::string> values) {
        std::vector<FormField> fields;
        for (const std::string& value : values) {
            fields.push_back({"f", form_urlencode(value)});
        }
        return fields;
    };
    struct Case {
        const char* label;
        std::vector<FormField> fields;
        CodeChoice choice;
    };
    const Case cases[] = {
        {"shift_jis", form({sjis[0], sjis[1], sjis[2], "x@y"}), CodeChoice::ShiftJis},
        {"euc_jp", form({euc[0], euc[1], euc[2], "x@y"}), CodeChoice::EucJp},
        {"utf8", form({utf8[0], utf8[1], utf8[2], "x@y"}), CodeChoice::Utf8},
        {"two_shift_jis_one_utf8", form({sjis[0], sjis[2], utf8[1]}), CodeChoice::ShiftJis},
        {"one_each_ties_to_euc", form({sjis[1], euc[1], utf8[1]}), CodeChoice::EucJp},
        {"ascii_only", form({"1", "abc"}), CodeChoice::EucJp},
        {"no_fields", {}, CodeChoice::EucJp},
        // Values are decoded as the capture decodes them: '+' is a space, and
        // a value ends at a decoded zero byte.
        {"value_cut_at_zero",
         {{"a", "%00" + form_urlencode(utf8[1])}, {"b", form_urlencode(sjis[1])}},
         CodeChoice::ShiftJis},
        // Text values vote as they are, not decoded; a file's name never votes.
        {"text_values_as_they_are",
         {{"a", utf8[0], FieldKind::Text}, {"b", "%82%A0", FieldKind::Text}, {"c", utf8[1], FieldKind::Text}},
         CodeChoice::Utf8},
        {"files_do_not_vote",
         {{"a", euc[0], FieldKind::Text},
          {"f", "", FieldKind::File, {sjis[0], "", 1}},
          {"g", "", FieldKind::File, {sjis[1], "", 1}}},
         CodeChoice::EucJp},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vote_over_fields(c.fields), c.choice) << c.label;
    }
}

TEST(DeclaredCode, CharsetFieldNamesTheCode) {
    struct Case {
        std::vector<FormField> fields;
        std::optional<CodeChoice> code;
    };
    const Case cases[] = {
        {{{"_charset_", "Shift_JIS"}}, CodeChoice::ShiftJis},
        {{{"a", "1"}, {"_CHARSET_", "+utf-8+"}}, CodeChoice::Utf8},  // '+' is a space, trimmed
        {{{"_charset_", "x-euc-jp", FieldKind::Text}}, CodeChoice::EucJp},
        {{{"_charset_", "windows-31j", FieldKind::Text}}, CodeChoice::ShiftJis},
        {{{"%5Fcharset%5F", "UTF8"}}, CodeChoice::Utf8},
        {{{"_charset_", "ISO-8859-1"}, {"_charset_", "UTF-8"}}, std::nullopt},  // the first one counts
        {{{"_charset_", "UTF-8", FieldKind::File}}, std::nullopt},
        {{{"charset", "UTF-8"}}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(declared_code(c.fields), c.code) << (c.fields.empty() ? "" : c.fields.back().value);
    }
}

}  // namespace
}  // namespace postori
