// SPDX-License-Identifier: GPL-3.0-or-later
#include "codec/detect.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/bytes.h"

namespace postori {
namespace {

using test_support::bytes;

std::string repeat(const std::string& unit, std::size_t times) {
    std::string out;
    for (std::size_t k = 0; k < times; ++k) {
        out += unit;
    }
    return out;
}

const std::string sjis_a = bytes({0x82, 0xA0});        // あ in Shift_JIS
const std::string euc_a = bytes({0xA4, 0xA2});         // あ in EUC-JP
const std::string utf8_a = bytes({0xE3, 0x81, 0x82});  // あ in UTF-8
const std::string emoji = bytes({0xF0, 0x9F, 0x98, 0x80});
// A Shift_JIS lead byte followed by a space: one error for the Shift_JIS
// reading, nothing for EUC-JP.
const std::string sjis_error = bytes({0x81, 0x20});

struct DetectCase {
    const char* label;
    std::string text;
    std::uint32_t limit;
    CodeKind guess;
    CodeKind sure;
};

void PrintTo(const DetectCase& c, std::ostream* os) {
    *os << c.label;
}

class DetectCode : public testing::TestWithParam<DetectCase> {};

// The text sits in a heap buffer of exactly its size, so AddressSanitizer
// catches a read past it.
TEST_P(DetectCode, Answers) {
    const DetectCase& c = GetParam();
    auto buffer = std::make_unique<char[]>(c.text.size() + 1);
    std::memcpy(buffer.get(), c.text.data(), c.text.size());
    const DetectResult result = detect_code(std::string_view(buffer.get(), c.text.size()), c.limit);
    EXPECT_EQ(static_cast<int>(result.guess), static_cast<int>(c.guess));
    EXPECT_EQ(static_cast<int>(result.sure), static_cast<int>(c.sure));
}

using K = CodeKind;
constexpr std::uint32_t LIMIT = 8192;

const DetectCase detect_cases[] = {
    // no text
    {"empty", "", LIMIT, K::Empty, K::Unknown},
    {"limit_zero", "abc", 0, K::Empty, K::Unknown},
    // 7-bit text
    {"ascii", "abc", LIMIT, K::Ascii, K::Ascii},
    {"ascii_with_esc_paren_b", "a\x1B(Bb", LIMIT, K::Ascii, K::Ascii},
    {"ascii_with_esc_paren_j", "a\x1B(Jb", LIMIT, K::Ascii, K::Ascii},
    {"shift_in",
     "a\x0F"
     "b",
     LIMIT, K::Jis, K::Jis},
    {"shift_out_is_not_special",
     "a\x0E"
     "b",
     LIMIT, K::Ascii, K::Ascii},
    // byte-order marks
    {"utf8_mark", bytes({0xEF, 0xBB, 0xBF, 0x82, 0xA0}), LIMIT, K::Utf8, K::Utf8},
    {"utf32le_mark_before_utf16le", bytes({0xFF, 0xFE, 0x00, 0x00}), LIMIT, K::Utf32Le, K::Utf32Le},
    {"utf16le_mark", bytes({0xFF, 0xFE, 0x41, 0x00}), LIMIT, K::Utf16Le, K::Utf16Le},
    {"utf16be_mark", bytes({0xFE, 0xFF, 0x00, 0x41}), LIMIT, K::Utf16Be, K::Utf16Be},
    {"utf32be_mark", bytes({0x00, 0x00, 0xFE, 0xFF}), LIMIT, K::Utf32Be, K::Utf32Be},
    {"utf16le_mark_cut_by_limit", bytes({0xFF, 0xFE, 0x41, 0x00}), 1, K::EucJp, K::EucJp},
    // NUL bytes
    {"utf16le_without_mark", bytes({0x41, 0x00, 0x42, 0x00}), LIMIT, K::Utf16Le, K::Unknown},
    {"utf16be_without_mark", bytes({0x00, 0x41, 0x00, 0x42}), LIMIT, K::Utf16Be, K::Unknown},
    {"nul_pair_at_0", bytes({0x00, 0x00, 0x00, 0x41}), LIMIT, K::Utf32Be, K::Unknown},
    {"nul_pair_at_2", bytes({0x42, 0x30, 0x00, 0x00}), LIMIT, K::Utf32Le, K::Unknown},
    {"nul_pair_at_1_goes_on", bytes({0x41, 0x00, 0x00, 0x00}), LIMIT, K::Utf16Le, K::Unknown},
    {"nul_counts_tie_is_big_endian", bytes({0x00, 0x41}) + bytes({0x42, 0x00}), LIMIT, K::Utf16Be, K::Unknown},
    // JIS escapes win over anything after the marks
    {"jis_escape_with_high_bytes", sjis_a + "\x1B$B" + sjis_a, LIMIT, K::Jis, K::Jis},
    {"jis_katakana_escape", "x\x1B(I", LIMIT, K::Jis, K::Jis},
    {"jis_x0212_escape", "x\x1B$(D", LIMIT, K::Jis, K::Jis},
    {"escape_cut_by_limit", "abc\x1B$B", 5, K::Ascii, K::Ascii},
    // one character in each code
    {"hiragana_sjis", sjis_a, LIMIT, K::ShiftJis, K::ShiftJis},
    {"hiragana_euc", euc_a, LIMIT, K::EucJp, K::EucJp},
    {"hiragana_utf8", utf8_a, LIMIT, K::Utf8, K::Utf8},
    {"lone_0x80_ties_to_euc", bytes({0x80}), LIMIT, K::EucJp, K::EucJp},
    // short form values the list must carry: a kanji whose last UTF-8 byte
    // Shift_JIS reads as a half-width letter (値 E5 80 A4 against ､ A4), and
    // the legal form in company names ((株) and 株式会社 in each code)
    {"kanji_outweighs_its_last_utf8_byte",
     "\xE5\x80\xA4"
     "0001",
     LIMIT, K::Utf8, K::Utf8},
    {"company_sjis", "(\x8A\x94)", LIMIT, K::ShiftJis, K::ShiftJis},
    {"company_euc", "(\xB3\xF4)", LIMIT, K::EucJp, K::EucJp},
    {"company_utf8", "(\xE6\xA0\xAA)", LIMIT, K::Utf8, K::Utf8},
    {"company_full_sjis", "\x8A\x94\x8E\xAE\x89\xEF\x8E\xD0", LIMIT, K::ShiftJis, K::ShiftJis},
    {"company_full_euc", "\xB3\xF4\xBC\xB0\xB2\xF1\xBC\xD2", LIMIT, K::EucJp, K::EucJp},
    {"company_full_utf8", "\xE6\xA0\xAA\xE5\xBC\x8F\xE4\xBC\x9A\xE7\xA4\xBE", LIMIT, K::Utf8, K::Utf8},
    // all three scores equal: line breaks, then names
    {"equal_scores_no_hint", emoji, LIMIT, K::ShiftJis, K::ShiftJis},
    {"equal_scores_crlf", emoji + "\r\n", LIMIT, K::ShiftJis, K::ShiftJis},
    {"equal_scores_lfcr", emoji + "\n\r", LIMIT, K::ShiftJis, K::ShiftJis},
    {"equal_scores_lf", emoji + "\n", LIMIT, K::EucJp, K::EucJp},
    {"equal_scores_cr", emoji + "\r", LIMIT, K::ShiftJis, K::ShiftJis},
    {"equal_scores_euc_name", emoji + "charset=EUC-JP", LIMIT, K::EucJp, K::EucJp},
    {"equal_scores_utf8_name_first", emoji + "UTF-8 or Shift_JIS or euc-jp", LIMIT, K::Utf8, K::Utf8},
    {"equal_scores_sjis_name_first", emoji + "sjis, then UTF-8, then EUC", LIMIT, K::ShiftJis, K::ShiftJis},
    {"equal_scores_euc_name_first", emoji + "x-euc-jp, then SJIS", LIMIT, K::EucJp, K::EucJp},
    {"equal_scores_name_cut_by_limit", emoji + "EUC", 6, K::ShiftJis, K::ShiftJis},
    // how sure: errors x 100 >= analysed length gives Unknown
    {"one_error_in_42_bytes", repeat(sjis_a, 20) + sjis_error, LIMIT, K::ShiftJis, K::Unknown},
    {"one_error_in_202_bytes", repeat(sjis_a, 100) + sjis_error, LIMIT, K::ShiftJis, K::ShiftJis},
    {"one_error_in_100_bytes", repeat(sjis_a, 49) + sjis_error, LIMIT, K::ShiftJis, K::Unknown},
    {"one_error_in_101_bytes", "x" + repeat(sjis_a, 49) + sjis_error, LIMIT, K::ShiftJis, K::ShiftJis},
    // the window: 256 bytes from the first special byte rounded down to 4
    {"window_after_long_ascii", std::string(8000, 'a') + repeat(sjis_a, 200), LIMIT, K::ShiftJis, K::ShiftJis},
    {"nul_at_window_end_inside", std::string(5, 'a') + bytes({0x80}) + std::string(253, 'a') + bytes({0x00}), LIMIT,
     K::Utf16Le, K::Unknown},
    {"nul_past_window_end", std::string(5, 'a') + bytes({0x80}) + std::string(254, 'a') + bytes({0x00}), LIMIT,
     K::EucJp, K::EucJp},
    {"high_byte_past_limit", "abcd" + sjis_a, 4, K::Ascii, K::Ascii},
};

INSTANTIATE_TEST_SUITE_P(Cases, DetectCode, testing::ValuesIn(detect_cases),
                         [](const testing::TestParamInfo<DetectCase>& info) { return std::string(info.param.label); });

// The limit cuts the text before anything is looked at: what lies beyond it
// changes nothing.
TEST(DetectCodeLimit, BytesPastTheLimitChangeNothing) {
    const std::string value = repeat(euc_a, 30);
    const DetectResult alone = detect_code(value, 60);
    const std::string tails[] = {
        bytes({0x00, 0x00}), "\x1B$B", bytes({0xEF, 0xBB, 0xBF}), "\r\n", repeat(utf8_a, 100),
    };
    for (const std::string& tail : tails) {
        EXPECT_EQ(detect_code(value + tail, 60), alone) << testing::PrintToString(tail);
    }
}

// --- the scorers, byte by byte ---

struct Fed {
    std::int32_t errors;
    std::int32_t state;
    std::int32_t code;
};

struct ScorerCase {
    const char* label;
    void (CodeScorer::*feed)(std::int32_t);
    std::vector<int> bytes;
    Fed after;
};

TEST(CodeScorer, FeedsByteByByte) {
    const ScorerCase cases[] = {
        {"sjis_pair", &CodeScorer::feed_sjis, {0x82, 0xA0}, {0, 0, 0x82A0}},
        {"sjis_lead_pending", &CodeScorer::feed_sjis, {0x82}, {0, 1, 0x82}},
        {"sjis_bad_trail", &CodeScorer::feed_sjis, {0x82, 0x20}, {1, 0, 0x82}},
        {"sjis_nul", &CodeScorer::feed_sjis, {0x00}, {1, 0, 0}},
        {"sjis_fd", &CodeScorer::feed_sjis, {0xFD}, {1, 0, 0}},
        {"sjis_half_width", &CodeScorer::feed_sjis, {0xB1}, {0, 0, 0xB1}},
        {"sjis_0x80_passes", &CodeScorer::feed_sjis, {0x80, 0xA0}, {0, 0, 0xA0}},
        {"euc_pair", &CodeScorer::feed_euc, {0xA4, 0xA2}, {0, 0, 0xA4A2}},
        {"euc_any_high_second_byte", &CodeScorer::feed_euc, {0xA4, 0xFF}, {0, 0, 0xA4FF}},
        {"euc_low_second_byte", &CodeScorer::feed_euc, {0xA4, 0x41}, {1, 0, 0xA4}},
        {"euc_three_bytes_skipped", &CodeScorer::feed_euc, {0x8F, 0xB0, 0xA1}, {0, 0, 0x8F}},
        {"euc_three_bytes_pending", &CodeScorer::feed_euc, {0x8F, 0xB0}, {0, -1, 0x8F}},
        {"euc_nul_inside_three", &CodeScorer::feed_euc, {0x8F, 0x00}, {1, 0, 0x8F}},
        {"euc_0x8d_passes", &CodeScorer::feed_euc, {0x8D}, {0, 0, 0x8D}},
        {"utf8_three_bytes", &CodeScorer::feed_utf8, {0xE3, 0x81, 0x82}, {0, 0, 0x3042}},
        {"utf8_pending", &CodeScorer::feed_utf8, {0xE3, 0x81}, {0, -1, 0xC1}},
        {"utf8_bad_continuation", &CodeScorer::feed_utf8, {0xE3, 0x41}, {1, 0, 0x3}},
        {"utf8_lone_continuation", &CodeScorer::feed_utf8, {0x80}, {1, 0, 0}},
        {"utf8_overlong_accepted", &CodeScorer::feed_utf8, {0xC0, 0x80}, {0, 0, 0}},
        {"utf8_six_bytes", &CodeScorer::feed_utf8, {0xFD, 0xBF, 0xBF, 0xBF, 0xBF, 0xBF}, {0, 0, 0x7FFFFFFF}},
        {"utf8_fe_invalid", &CodeScorer::feed_utf8, {0xFE}, {1, 0, 0}},
    };
    for (const ScorerCase& c : cases) {
        CodeScorer scorer;
        for (int b : c.bytes) {
            (scorer.*c.feed)(b);
        }
        EXPECT_EQ(scorer.errors, c.after.errors) << c.label;
        EXPECT_EQ(scorer.state, c.after.state) << c.label;
        EXPECT_EQ(scorer.code, c.after.code) << c.label;
    }
}

TEST(CodeScorer, WeighsWhatItDecodes) {
    // あ weighs 27572 in every code; ､ (A4) and ｢ (A2) weigh 3752 and 276.
    CodeScorer sjis;
    for (int b : {0x82, 0xA0, 0xA4, 0xA2}) {
        sjis.feed_sjis(b);
    }
    EXPECT_EQ(sjis.score, 27572 + 3752 + 276);
    CodeScorer euc;
    for (int b : {0xA4, 0xA2, 0x8E, 0xA4}) {
        euc.feed_euc(b);
    }
    EXPECT_EQ(euc.score, 27572 + 3752);
    CodeScorer utf8;
    for (int b : {0xE3, 0x81, 0x82, 0xE3, 0x80, 0x80}) {
        utf8.feed_utf8(b);
    }
    EXPECT_EQ(utf8.score, 27572 + ERROR_PENALTY);
}

TEST(CodeScorer, NetScoreAndReset) {
    CodeScorer scorer;
    scorer.score = 1000;
    scorer.errors = 2;
    EXPECT_EQ(scorer.net_score(), 1000 - 2 * ERROR_PENALTY);
    scorer.errors = 1'000'000;
    EXPECT_EQ(scorer.net_score(), std::numeric_limits<std::int32_t>::min());
    scorer.state = -2;
    scorer.code = 7;
    scorer.reset();
    EXPECT_EQ(scorer.errors, 0);
    EXPECT_EQ(scorer.score, 0);
    EXPECT_EQ(scorer.state, 0);
    EXPECT_EQ(scorer.code, 0);
    scorer.state = 1;
    scorer.fail();
    EXPECT_EQ(scorer.errors, 1);
    EXPECT_EQ(scorer.state, 0);
}

TEST(SpecialBytes, AreNulSiEscAndHighBytes) {
    int count = 0;
    for (int b = 0; b < 256; ++b) {
        const bool expected = b == 0x00 || b == 0x0F || b == 0x1B || b >= 0x80;
        EXPECT_EQ(special_bytes[static_cast<std::size_t>(b)], expected) << b;
        count += special_bytes[static_cast<std::size_t>(b)] ? 1 : 0;
    }
    EXPECT_EQ(count, 131);
}

}  // namespace
}  // namespace postori
