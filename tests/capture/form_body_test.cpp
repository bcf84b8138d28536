// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/form_body.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/reference_capture.h"

namespace postori {
namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;

// --- split_fields ---

struct SplitCase {
    const char* label;
    std::string text;
    std::size_t slots;
    char separator;
    std::vector<std::string> pieces;  // what every slot points at, in order
    std::int32_t count;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.label;
}

class SplitFields : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitFields, Pieces) {
    const SplitCase& c = GetParam();
    std::vector<char> text(c.text.begin(), c.text.end());
    text.push_back('\0');
    std::vector<char*> slots(c.slots, nullptr);

    const std::int32_t count = split_fields(text.data(), slots, c.separator);

    EXPECT_EQ(count, c.count);
    std::vector<std::string> pieces;
    for (char* slot : slots) {
        ASSERT_GE(slot, text.data());
        ASSERT_LT(slot, text.data() + text.size());
        pieces.emplace_back(slot);
    }
    EXPECT_THAT(pieces, ElementsAreArray(c.pieces));
    // The slots past the last piece share its terminating zero.
    const auto used = static_cast<std::size_t>(count);
    for (std::size_t k = used; k < slots.size(); ++k) {
        EXPECT_EQ(slots[k], slots[used - 1] + std::strlen(slots[used - 1])) << "slot " << k;
    }
}

const SplitCase split_cases[] = {
    {"two_pieces_three_slots", "a&b", 3, '&', {"a", "b", ""}, 2},
    {"empty_middle", "a&&b", 3, '&', {"a", "", "b"}, 3},
    {"separator_at_end", "a&", 3, '&', {"a", "", ""}, 2},
    {"empty_text", "", 2, '&', {"", ""}, 1},
    {"only_separators", "&&", 4, '&', {"", "", "", ""}, 3},
    {"last_slot_cut_at_next_separator", "a&b&d", 2, '&', {"a", "b"}, 2},
    {"last_slot_takes_rest_without_separator", "a&bcd", 2, '&', {"a", "bcd"}, 2},
    {"one_slot", "a&b", 1, '&', {"a"}, 1},
    {"one_slot_no_separator", "abc", 1, '&', {"abc"}, 1},
    {"cut_at_carriage_return", "a&b\r&c&d", 4, '&', {"a", "b", "", ""}, 2},
    {"carriage_return_first", "\ra&b", 2, '&', {"", ""}, 1},
    {"line_feed_is_ordinary", "a\n&b", 2, '&', {"a\n", "b"}, 2},
    {"other_separator", "x=1=2", 3, '=', {"x", "1", "2"}, 3},
    {"zero_separator_never_found", "a&b", 2, '\0', {"a&b", ""}, 1},
    {"high_byte_separator", std::string{'a', '\xff', 'b'}, 2, '\xff', {"a", "b"}, 2},
};

INSTANTIATE_TEST_SUITE_P(Cases, SplitFields, testing::ValuesIn(split_cases),
                         [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.label); });

TEST(SplitFieldsLimits, NothingToSplitInto) {
    char text[] = "a&b";
    EXPECT_EQ(split_fields(text, {}, '&'), 0);
    EXPECT_STREQ(text, "a&b");
    std::vector<char*> slots(2);
    EXPECT_EQ(split_fields(nullptr, slots, '&'), 0);
}

// --- percent_decode ---

struct DecodeCase {
    const char* label;
    std::string input;
    std::string output;  // the bytes written, terminating zero not counted
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.label;
}

class PercentDecode : public testing::TestWithParam<DecodeCase> {};

// The input sits in an exact-size heap buffer with no terminating zero, so
// AddressSanitizer catches any read at or past the input length.
TEST_P(PercentDecode, DecodesIntoCallersBuffer) {
    const DecodeCase& c = GetParam();
    auto input = std::make_unique<char[]>(c.input.size());
    std::memcpy(input.get(), c.input.data(), c.input.size());
    std::vector<char> output(2 * c.input.size() + 1, '\x7f');

    const std::int32_t written = percent_decode(output.data(), static_cast<std::uint32_t>(output.size()), input.get(),
                                                static_cast<std::int32_t>(c.input.size()));

    ASSERT_EQ(written, static_cast<std::int32_t>(c.output.size()));
    EXPECT_EQ(std::string(output.data(), c.output.size()), c.output);
    if (written > 0) {
        EXPECT_EQ(output[static_cast<std::size_t>(written)], '\0') << "zero-terminated";
    }
}

const DecodeCase decode_cases[] = {
    {"escapes", "%41%42", "AB"},
    {"plus_is_space", "a+b", "a b"},
    {"escaped_plus", "%2B", "+"},
    {"escaped_space", "%20", " "},
    {"lower_case_hex", "%e3%81%82", "\xe3\x81\x82"},
    {"upper_case_hex", "%E3%81%82", "\xe3\x81\x82"},
    {"bad_escape_stops", "ab%zzcd", "ab"},
    {"half_bad_escape_stops", "ab%4zcd", "ab"},
    {"lone_percent_at_end", "100%", "100"},
    {"one_digit_at_end", "ab%4", "ab\x04"},
    {"negative_escape", "%-1", "\xff"},
    {"positive_sign", "%+f", "\x0f"},
    {"leading_space", "% 4", "\x04"},
    {"leading_tab", "%\t4", "\x04"},
    {"space_after_digit_stops", "%4 x", ""},
    {"sign_alone_stops", "%-x", ""},
    {"hex_prefix_stops", "%0x", ""},
    {"percent_then_percent", "%%41", ""},
    {"escaped_zero_is_written", "a%00b", std::string("a\0b", 3)},
    {"other_bytes_unchanged", "=&\xa4\xa2~", "=&\xa4\xa2~"},
    {"one_digit_then_end_after_sign", "ab%-", "ab"},
};

INSTANTIATE_TEST_SUITE_P(Cases, PercentDecode, testing::ValuesIn(decode_cases),
                         [](const testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.label); });

TEST(PercentDecodeLimits, StopsAtZeroInputByte) {
    const char input[] = {'a', '\0', 'b'};
    char output[7] = {};
    EXPECT_EQ(percent_decode(output, sizeof output, input, 3), 1);
    EXPECT_STREQ(output, "a");
}

TEST(PercentDecodeLimits, MissingArgumentsWriteNothing) {
    char output[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(percent_decode(nullptr, 4, "ab", 2), 0);
    EXPECT_EQ(percent_decode(output, 0, "ab", 2), 0);
    EXPECT_EQ(percent_decode(output, 4, nullptr, 2), 0);
    EXPECT_EQ(percent_decode(output, 4, "ab", 0), 0);
    EXPECT_EQ(percent_decode(output, 4, "ab", -1), 0);
    EXPECT_EQ(std::string(output, 4), "xxxx");
}

TEST(PercentDecodeLimits, SmallOutputFillsWithoutTerminator) {
    char output[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(percent_decode(output, 3, "abcdef", 6), 3);
    EXPECT_EQ(std::string(output, 4), "abcx");
    EXPECT_EQ(percent_decode(output, 1, "%41bc", 5), 1);
    EXPECT_EQ(output[0], 'A');
}

// Random inputs over the bytes that matter, with every output size from 1 up,
// compared with a plain strtol implementation byte for byte.
TEST(PercentDecodeReference, AgreesOnGeneratedInputs) {
    static constexpr char alphabet[] = {'%', '%', '%',  '+',  '0', '4', '9',  'a',    'F',    'g', 'x',
                                        'X', ' ', '\t', '\n', '-', '+', '\0', '\xff', '\xa4', '='};
    std::mt19937 random(9250);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(alphabet) - 1);
    std::uniform_int_distribution<std::size_t> length(1, 12);
    for (int trial = 0; trial < 50000; ++trial) {
        std::string input(length(random), ' ');
        for (char& c : input) {
            c = alphabet[pick(random)];
        }
        std::string with_zero = input;  // the reference reads one past the input
        with_zero.push_back('\0');
        const std::uint32_t size = static_cast<std::uint32_t>(trial % (2 * input.size() + 2)) + 1;
        std::vector<char> expected(size, '\x55');
        std::vector<char> actual(size, '\x55');
        const auto n = static_cast<std::int32_t>(input.size());
        const std::int32_t want = reference::percent_decode(expected.data(), size, with_zero.data(), n);
        const std::int32_t got = percent_decode(actual.data(), size, input.data(), n);
        ASSERT_EQ(got, want) << testing::PrintToString(input) << " size " << size;
        ASSERT_EQ(actual, expected) << testing::PrintToString(input) << " size " << size;
    }
}

// --- count_char ---

TEST(CountChar, CountsBytes) {
    struct Case {
        const char* text;
        char byte;
        std::int32_t count;
    };
    const Case cases[] = {
        {"", '\r', 0},    {"a\r\nb\r\n", '\r', 2}, {"abc", '\r', 0}, {"\xa4\xa2\xa4", '\xa4', 2},
        {"abc", '\0', 0}, {"&&&", '&', 3},         {"\r", '\r', 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(count_char(c.text, c.byte), c.count) << testing::PrintToString(c.text);
    }
    EXPECT_EQ(count_char(nullptr, 'a'), 0);
}

// --- collect_fields and decode_value ---

std::vector<std::pair<std::string, std::string>> collect(std::string body) {
    std::vector<char> text(body.begin(), body.end());
    text.push_back('\0');
    std::vector<std::pair<std::string, std::string>> out;
    for (const FormField& field : collect_fields(text.data())) {
        out.emplace_back(field.name, field.value);
    }
    return out;
}

using Pair = std::pair<std::string, std::string>;

TEST(CollectFields, PiecesWithEqualsBecomeFields) {
    EXPECT_THAT(collect("a=1&b&=3&d=x=y"), ElementsAre(Pair{"a", "1"}, Pair{"", "3"}, Pair{"d", "x=y"}));
    EXPECT_THAT(collect("a=%41+b&c="), ElementsAre(Pair{"a", "%41+b"}, Pair{"c", ""}));
    EXPECT_THAT(collect(""), ElementsAre());
    EXPECT_THAT(collect("&&"), ElementsAre());
    EXPECT_THAT(collect("a=1\r\nb=2"), ElementsAre(Pair{"a", "1"}));
}

TEST(CollectFields, OnlyTheFirstThousandPieces) {
    std::string body;
    for (int k = 1; k <= 1002; ++k) {
        const std::string number = std::to_string(k);
        body.append("f").append(number).append("=").append(number).append("&");
    }
    const auto fields = collect(body);
    ASSERT_EQ(fields.size(), 1000u);
    EXPECT_EQ(fields.front(), (Pair{"f1", "1"}));
    EXPECT_EQ(fields.back(), (Pair{"f1000", "1000"}));
}

TEST(DecodeValue, KeepsUpToFirstZero) {
    struct Case {
        std::string raw;
        std::string decoded;
    };
    const Case cases[] = {
        {"", ""},  {"%E3%81%82+b", "\xe3\x81\x82 b"}, {"a%00b", "a"}, {"ab%zz", "ab"},
        {"%", ""}, {std::string("a\0b", 3), "a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decode_value(c.raw), c.decoded) << testing::PrintToString(c.raw);
    }
}

}  // namespace
}  // namespace postori
