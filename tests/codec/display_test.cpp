// SPDX-License-Identifier: GPL-3.0-or-later
// Display decoding of code page 932: the byte rules on hand-picked cases,
// then every code against the published mapping file and against glibc
// iconv, and the round trip with the encoder's table.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/byte_classes.h"
#include "codec/convert.h"
#include "codec/display.h"
#include "codec/sjis_tables.h"
#include "tests/support/bytes.h"
#include "tests/support/cp932_mapping.h"
#include "tests/support/iconv.h"
#include "tests/support/utf8_reference.h"

namespace {

using postori::sjis_to_utf16;
using postori::sjis_to_utf8;

constexpr char16_t FFFD = 0xFFFD;

using postori::reference::utf8_of;
using postori::test_support::bytes;
using postori::test_support::hex;
using postori::test_support::Iconv;

std::string code_bytes(unsigned code) {
    return code <= 0xFF ? bytes({code}) : bytes({code >> 8, code & 0xFF});
}

// Checks both decoders on one input.
void expect_decodes(const std::string& input, const std::u16string& want, const std::string& what) {
    EXPECT_EQ(sjis_to_utf16(input), want) << what << " [" << hex(input) << "]";
    EXPECT_EQ(sjis_to_utf8(input), utf8_of(want)) << what << " [" << hex(input) << "]";
}

struct RuleCase {
    const char* name;
    std::string input;
    std::u16string want;
};

TEST(SjisDisplay, ByteRules) {
    const std::vector<RuleCase> cases = {
        {"empty", "", u""},
        {"ASCII, backslash and tilde kept", "a\\~\x7F", u"a\\~\x7F"},
        {"NUL kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"half-width katakana, both ends", bytes({0xA1, 0xB1, 0xDF}), u"\uFF61\uFF71\uFF9F"},
        {"undefined single bytes", bytes({0x80, 0xA0, 0xFD, 0xFE, 0xFF}), u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"hiragana and kanji", bytes({0x82, 0xA0, 0x88, 0x9F, 0xEA, 0xA4}), u"\u3042\u4E9C\u7199"},
        {"trail bytes 40 and FC", bytes({0x81, 0x40, 0x81, 0xFC}), u"\u3000\u25EF"},
        {"look-alike codes keep the file's character", bytes({0x81, 0x5C, 0x81, 0x5F, 0x81, 0x60, 0x81, 0x7C}),
         u"\u2015\uFF3C\uFF5E\uFF0D"},
        {"NEC row 13, NEC-selected and IBM extensions", bytes({0x87, 0x54, 0xED, 0x40, 0xEE, 0xEF, 0xFA, 0x40}),
         u"\u2160\u7E8A\u2170\u2170"},
        {"user-defined area corners", bytes({0xF0, 0x40, 0xF0, 0x7E, 0xF0, 0x80, 0xF0, 0xFC, 0xF1, 0x40, 0xF9, 0xFC}),
         u"\uE000\uE03E\uE03F\uE0BB\uE0BC\uE757"},
        {"undefined pair is one U+FFFD, trail consumed", bytes({0x85, 0x40, 0xEB, 0x40, 0xFC, 0xFC}),
         u"\uFFFD\uFFFD\uFFFD"},
        {"lead at the end", "A" + bytes({0x82}), u"A\uFFFD"},
        {"lead before a control, quote or DEL", bytes({0x82, '\n', 0x82, '"', 0x9F, 0x7F}),
         u"\uFFFD\n\uFFFD\"\uFFFD\x7F"},
        {"lead before FD", bytes({0xE0, 0xFD, 0x41}), u"\uFFFD\uFFFDA"},
        {"lead taken as trail of the lead before it", bytes({0x82, 0x82, 0xA0}), u"\uFF42\uFFFD"},
        {"half-width katakana byte taken as trail", bytes({0x83, 0xA1}), u"\u0393"},
        {"ASCII byte taken as trail", bytes({0x89, 0x41, 0x88, 0x41}), u"\u9670\uFFFD"},
    };
    for (const RuleCase& c : cases) {
        expect_decodes(c.input, c.want, c.name);
    }
}

// --- against the mapping file ----------------------------------------------

// Code -> character for every code the mapping file defines.
std::optional<std::map<unsigned, char16_t>> read_mapping_file() {
    const auto file = postori::reference::read_cp932_mapping();
    if (!file) {
        return std::nullopt;
    }
    std::map<unsigned, char16_t> map;
    for (const auto& [code, unicode] : file->unicode_of) {
        map[code] = static_cast<char16_t>(unicode);
    }
    return map;
}

bool user_defined_lead(unsigned lead) {
    return lead >= 0xF0 && lead <= 0xF9;
}

TEST(SjisDisplay, EveryCodeAsTheMappingFileSays) {
    const auto map = read_mapping_file();
    if (!map) {
        GTEST_SKIP() << "mapping file not found at " << postori::reference::cp932_mapping_path();
    }
    std::size_t pairs = 0;
    for (const auto& [code, unicode] : *map) {
        pairs += code > 0xFF ? 1 : 0;
    }
    ASSERT_EQ(pairs, 7724U) << "unexpected mapping file contents";

    for (unsigned b = 0; b <= 0xFF; ++b) {
        const auto it = map->find(b);
        expect_decodes(bytes({b}), std::u16string(1, it == map->end() ? FFFD : it->second), "single byte");
    }
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (postori::sjis_lead[lead] == 0 || user_defined_lead(lead)) {
            continue;
        }
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (postori::sjis_trail[trail] == 0) {
                continue;
            }
            const unsigned code = lead << 8 | trail;
            const auto it = map->find(code);
            const std::u16string want(1, it == map->end() ? FFFD : it->second);
            if (sjis_to_utf16(code_bytes(code)) != want) {
                ADD_FAILURE() << "code " << std::hex << code << " decodes to "
                              << unsigned{sjis_to_utf16(code_bytes(code)).at(0)} << ", file says " << unsigned{want[0]};
            }
        }
    }
}

// --- against glibc iconv ----------------------------------------------------

std::u16string from_utf16le(const std::string& raw) {
    std::u16string out;
    for (std::size_t k = 0; k + 1 < raw.size(); k += 2) {
        out += static_cast<char16_t>(static_cast<unsigned char>(raw[k]) | static_cast<unsigned char>(raw[k + 1]) << 8);
    }
    return out;
}

// Every single byte and every lead-trail pair: where glibc decodes the code,
// both decoders agree with it; where glibc does not, the code is one U+FFFD.
// The codes glibc decodes are then decoded again as one stream.
TEST(SjisDisplay, EveryCodeAsGlibcDecodesIt) {
    Iconv to_utf16("UTF-16LE", "CP932");
    Iconv to_utf8("UTF-8", "CP932");
    ASSERT_TRUE(to_utf16.ok() && to_utf8.ok()) << "glibc iconv has no CP932";

    std::vector<std::string> codes;
    for (unsigned b = 0; b <= 0xFF; ++b) {
        codes.push_back(bytes({b}));
    }
    for (unsigned lead = 0; lead <= 0xFF; ++lead) {
        for (unsigned trail = 0; trail <= 0xFF; ++trail) {
            if (postori::sjis_lead[lead] != 0 && postori::sjis_trail[trail] != 0) {
                codes.push_back(bytes({lead, trail}));
            }
        }
    }

    std::string stream;
    std::size_t decoded_pairs = 0;
    for (const std::string& code : codes) {
        const auto utf16 = to_utf16.convert(code);
        const auto utf8 = to_utf8.convert(code);
        ASSERT_EQ(utf16.has_value(), utf8.has_value()) << hex(code);
        if (!utf16) {
            EXPECT_EQ(sjis_to_utf16(code), std::u16string(1, FFFD)) << hex(code);
            EXPECT_EQ(sjis_to_utf8(code), utf8_of(std::u16string(1, FFFD))) << hex(code);
            continue;
        }
        EXPECT_EQ(sjis_to_utf16(code), from_utf16le(*utf16)) << hex(code);
        EXPECT_EQ(sjis_to_utf8(code), *utf8) << hex(code);
        stream += code;
        decoded_pairs += code.size() == 2 ? 1 : 0;
    }
    EXPECT_GT(decoded_pairs, 9000U) << "glibc decoded fewer codes than code page 932 defines";

    const auto stream_utf16 = to_utf16.convert(stream);
    const auto stream_utf8 = to_utf8.convert(stream);
    ASSERT_TRUE(stream_utf16 && stream_utf8);
    EXPECT_EQ(sjis_to_utf16(stream), from_utf16le(*stream_utf16));
    EXPECT_EQ(sjis_to_utf8(stream), *stream_utf8);
}

// --- round trip with the encoder ---------------------------------------------

// Every code the encoder produces decodes to a character that the encoder
// turns back into that same code (duplicates and look-alikes may decode to
// another character than the one encoded, never to another code); checked
// code by code and once more as one stream.
TEST(SjisDisplay, EncodedCodesDecodeToACharacterOfTheSameCode) {
    std::string stream;
    std::size_t checked = 0;
    for (unsigned u = 0; u <= 0xFFFF; ++u) {
        if (u >= 0x80 && postori::lookup(postori::unicode_to_sjis_table, u) == 0) {
            continue;
        }
        const std::string code = postori::utf16_to_sjis(std::u16string(1, static_cast<char16_t>(u)));
        const std::u16string decoded = sjis_to_utf16(code);
        ASSERT_EQ(decoded.size(), 1U) << std::hex << "U+" << u << " [" << hex(code) << "]";
        EXPECT_EQ(postori::utf16_to_sjis(decoded), code)
            << std::hex << "U+" << u << " [" << hex(code) << "] -> U+" << unsigned{decoded[0]};
        stream += code;
        ++checked;
    }
    EXPECT_GT(checked, 7000U) << "the encoder's table is (nearly) empty";
    EXPECT_EQ(postori::utf16_to_sjis(sjis_to_utf16(stream)), stream);
}

}  // namespace
