// SPDX-License-Identifier: GPL-3.0-or-later
// The fast kernels of the conversions against the character rules alone:
// whatever a kernel takes from the front of a text it converts as the rules
// do, ending between two characters and keeping no more than its room; and
// on the text it is built for, it takes all but a short tail. (The loops
// around the kernels are tested through the conversions themselves.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "codec/convert_plain.h"
#include "codec/fast/euc_to_sjis.h"
#include "codec/fast/kernel.h"
#include "codec/fast/utf16_to_sjis.h"
#include "codec/fast/utf8.h"

namespace postori {
namespace {

// One kernel, the conversion by the rules of its direction, and what texts to
// try it on: runs it is built for, and characters it must leave to the rules.
template <typename Text, typename Output>
struct KernelCase {
    using Unit = typename Output::value_type;
    using Source = std::conditional_t<sizeof(typename Text::value_type) == 1, unsigned char, char16_t>;

    const char* name;
    fast::Progress (*kernel)(const Source*, std::size_t, Unit*, std::size_t);
    Output (*by_rules)(const Text&);
    std::vector<Text> common;
    std::vector<Text> others;

    // Runs the kernel on `text` with `room`, into a buffer of exactly room +
    // SPILL units (so that the sanitizers see a store past it), and checks the
    // contract; returns what it read.
    std::size_t check(const Text& text, std::size_t room) const {
        std::vector<Unit> out(room + fast::SPILL);
        const fast::Progress progress =
            kernel(reinterpret_cast<const Source*>(text.data()), text.size(), out.data(), room);
        EXPECT_LE(progress.read, text.size()) << name;
        EXPECT_LE(progress.written, room) << name;
        const Output kept(out.data(), std::min(progress.written, room));
        EXPECT_EQ(kept + by_rules(text.substr(std::min(progress.read, text.size()))), by_rules(text))
            << name << ": read " << progress.read << " of " << text.size() << ", room " << room;
        return progress.read;
    }
};

template <typename Text>
Text random_text(std::mt19937& random, const std::vector<Text>& common, const std::vector<Text>& others,
                 std::size_t pieces) {
    Text text;
    for (std::size_t k = 0; k < pieces; ++k) {
        const std::vector<Text>& pool = random() % 4 == 0 ? others : common;
        text += pool[random() % pool.size()];
    }
    return text;
}

const KernelCase<std::string, std::string> euc{
    "EUC-JP to Shift_JIS",
    fast::euc_to_sjis,
    plain::euc_to_sjis,
    // ASCII, kana, kanji, NEC row 13, the first and last lead byte the
    // arithmetic alone covers, second bytes 80 and FF.
    {"form ", "\xA4\xA2\xA4\xA4", "\xB0\xA1\xB0\xA2\xB0\xA3", "\xAD\xA1", "\xA1\x80", "\xF8\xFF"},
    // Half-width katakana, a three-byte code (also cut), the table rows with
    // and without an entry, a lead byte before ASCII or alone, leads 8E and
    // 90-9F before other bytes, bytes that are no lead.
    {"\x8E\xB1", "\x8F\xB0\xA1", "\x8F", "\xF9\xA1", "\xFC\xFB", "\xFA\x85", "\xA4\x41", "\xA4", "\x8E\xE0", "\x90\xA1",
     "\xA0", "\xFF", "\x80"},
};

const KernelCase<std::string, std::u16string> utf8_to_utf16{
    "UTF-8 to UTF-16",
    fast::utf8_to_utf16,
    plain::utf8_to_utf16,
    // ASCII, kana, kanji, half-width katakana, a three-byte lead before ASCII.
    {"form ", "\xE3\x81\x82\xE3\x81\x84", "\xE4\xBA\x9C", "\xEF\xBD\xA1", "\xE3\x41\x42"},
    // Two, four, five and six bytes, a byte that cannot begin, a cut sequence,
    // an encoded surrogate.
    {"\xC2\xA9", "\xF0\x9F\x98\x80", "\xF8\x88\x80\x80\x80", "\xFC\x80\x80\x80\x80\x80", "\x80", "\xE3\x81",
     "\xED\xA0\x80"},
};

const KernelCase<std::string, std::string> utf8_to_sjis{
    "UTF-8 to Shift_JIS",
    fast::utf8_to_sjis,
    plain::utf8_to_sjis,
    utf8_to_utf16.common,
    // As above, and units without a code: private use, the byte-order mark.
    {"\xC2\xA9", "\xF0\x9F\x98\x80", "\xF8\x88\x80\x80\x80", "\x80", "\xE3\x81", "\xED\xA0\x80", "\xEE\x80\x80",
     "\xEF\xBB\xBF"},
};

const KernelCase<std::u16string, std::string> utf16{
    "UTF-16 to Shift_JIS",
    fast::utf16_to_sjis,
    plain::utf16_to_sjis,
    {u"form ", u"\u3042\u3044", u"\u4E9C", u"\uFF61", u"\u301C"},
    // Units without a code: private use, a surrogate, the yen sign, U+FFFD.
    {u"\uE000", std::u16string(1, char16_t{0xD83D}), u"\u00A5", u"\uFFFD"},
};

template <typename Case>
void check_random_texts(const Case& kernel) {
    std::mt19937 random(1234);
    for (int round = 0; round < 400; ++round) {
        const auto text = random_text(random, kernel.common, kernel.others, random() % 80);
        kernel.check(text, random() % 160);
    }
}

TEST(FastKernels, ConvertAsTheRulesDo) {
    check_random_texts(euc);
    check_random_texts(utf8_to_utf16);
    check_random_texts(utf8_to_sjis);
    check_random_texts(utf16);
}

// With room to spare, each kernel takes a long run of the characters it is
// built for up to the last few elements (it reads at most 18 ahead): the fast
// paths are really taken. Pure kana for UTF-8, which the portable kernel
// takes only without ASCII between.
template <typename Case, typename Text>
void check_takes_run(const Case& kernel, const Text& piece) {
    Text text;
    while (text.size() < 600) {
        text += piece;
    }
    EXPECT_GT(kernel.check(text, 2 * text.size()) + 18, text.size()) << kernel.name;
}

TEST(FastKernels, TakeTheRunsTheyAreBuiltFor) {
    check_takes_run(euc, std::string("form \xA4\xA2\xB0\xA1\xA4\xA4 "));
    check_takes_run(utf8_to_utf16, std::string("\xE3\x81\x82\xE4\xBA\x9C\xE3\x81\x84"));
    check_takes_run(utf8_to_utf16, std::string("form data "));
    check_takes_run(utf8_to_sjis, std::string("\xE3\x81\x82\xE4\xBA\x9C\xE3\x81\x84"));
    check_takes_run(utf8_to_sjis, std::string("form data "));
    check_takes_run(utf16, std::u16string(u"form \u3042\u4E9C\uFF61"));
}

}  // namespace
}  // namespace postori
