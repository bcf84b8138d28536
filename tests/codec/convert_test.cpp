// SPDX-License-Identifier: GPL-3.0-or-later
// The converters to Shift_JIS: every byte rule and failure case on
// hand-picked inputs, chunk and split independence on long random texts (and
// the fast paths against the rules alone on the same texts), and every code
// against glibc iconv, where each deliberate difference is counted under a
// named rule and any other difference fails.
#include "codec/convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "codec/convert_plain.h"
#include "tests/support/bytes.h"
#include "tests/support/iconv.h"
#include "tests/support/utf8_reference.h"

namespace postori {
namespace {

using reference::utf8_of;
using test_support::bytes_of_hex;
using test_support::hex;
using test_support::Iconv;
using test_support::units_of_hex;

// --- byte rules and failure cases -------------------------------------------

// One case: input, the finished output, and how many input elements a single
// convert() leaves pending (each of them becomes one replacement in finish()).
struct Case {
    const char* name;
    const char* in;
    const char* out;
    std::size_t pending;
};

// Runs one case through the one-shot function and through the converter's
// convert / finish steps.
template <typename Converter, typename Decode, typename Encode>
void check_case(const Case& c, Decode in_of, Encode out_of, auto one_shot) {
    const auto in = in_of(c.in);
    const auto out = out_of(c.out);
    EXPECT_EQ(hex(one_shot(in)), hex(out)) << c.name;

    Converter converter;
    converter.input = in;
    converter.convert();
    EXPECT_EQ(hex(converter.input), hex(in.substr(in.size() - c.pending))) << c.name << ": pending after convert";
    EXPECT_EQ(hex(converter.output), hex(out.substr(0, out.size() - c.pending))) << c.name << ": after convert";
    converter.finish();
    EXPECT_TRUE(converter.input.empty()) << c.name;
    EXPECT_EQ(hex(converter.output), hex(out)) << c.name << ": after finish";
}

TEST(EucToSjis, Cases) {
    const Case cases[] = {
        {"empty", "", "", 0},
        {"hiragana", "A4 A2", "82 A0", 0},
        {"kanji", "B0 A1", "88 9F", 0},
        {"odd row, first and last cells", "A1 A1 A1 DF A1 E0 A1 FE", "81 40 81 7E 81 80 81 9E", 0},
        {"even row, first and last cells", "A2 A1 A2 FE", "81 9F 81 FC", 0},
        {"rows 62 and 63 either side of the lead gap", "DE FE DF A1", "9F FC E0 40", 0},
        {"NEC row 13", "AD A1 AD FC", "87 40 87 9C", 0},
        {"half-width katakana, both ends", "8E A1 8E DF", "A1 DF", 0},
        {"8E before a non-katakana high byte is a pair", "8E E0 8E A0", "77 DE 77 9E", 0},
        {"lead 90-9F is a pair", "90 A1 9F 80", "78 9F 80 1F", 0},
        {"lead before a high byte is a pair, even 8F", "A4 8F", "82 8D", 0},
        {"three-byte code is one ?", "8F B0 A1", "3F", 0},
        {"three-byte code swallows any two bytes", "8F 41 A4 A4 A2", "3F 82 A0", 0},
        {"three-byte code cut after two bytes", "8F B0", "3F 3F", 2},
        {"three-byte code cut after one byte", "41 8F", "41 3F", 1},
        {"lead at the end", "A4", "3F", 1},
        {"pair then a lead at the end", "A4 A2 A4", "82 A0 3F", 1},
        {"lead before ASCII: ? and the byte alone", "A4 41", "3F 41", 0},
        {"8E before ASCII", "8E 41", "3F 41", 0},
        {"lead before NUL", "B0 00", "3F 00", 0},
        {"lead before a lead pairs with it", "A4 A4 A2", "82 A2 3F", 1},
        {"bytes that are not leads pass", "00 7F 80 8D A0 FF", "00 7F 80 8D A0 FF", 0},
        {"row 89 first", "F9 A1", "FA 5C", 0},
        {"row 92 last", "FC FE", "FA 57", 0},
        {"row 92 cell 81", "FC F1", "FA 40", 0},
        {"no entry for FCFB: ?, then FB waits alone", "FC FB", "3F 3F", 1},
        {"no entry for FCEF", "FC EF", "3F 3F", 1},
        {"no entry for FCF0 before ASCII", "FC F0 41", "3F 3F 41", 0},
        {"pair in the row range with a low cell", "FA 85", "3F 85", 0},
        {"pair in the row range, second byte A0", "FC A0", "3F A0", 0},
        {"pair in the row range, second byte FF", "F9 FF", "3F FF", 0},
        {"just below the row range", "F9 A0", "ED 3F", 0},
        {"just above the row range", "FC FF", "EE FD", 0},
        {"rows 93-94 by arithmetic", "FD A1 FE FE", "EF 40 EF FC", 0},
        {"user rows 85-88 by arithmetic", "F5 A1 F8 FE", "EB 40 EC FC", 0},
        {"lead before a low byte", "F0 40", "3F 40", 0},
    };
    for (const Case& c : cases) {
        check_case<EucToSjisConverter>(c, bytes_of_hex, bytes_of_hex, euc_to_sjis);
    }
}

TEST(Utf8ToUtf16, Cases) {
    const Case cases[] = {
        {"empty", "", "", 0},
        {"ASCII and NUL", "41 00 7F", "0041 0000 007F", 0},
        {"two, three and four bytes", "C2 A9 E3 81 82 F0 9F 98 80", "00A9 3042 D83D DE00", 0},
        {"following bytes not tested", "E3 41 42", "3042", 0},
        {"following bytes give their low six bits", "C2 41 C0 FF", "0081 003F", 0},
        {"byte-order mark is a character", "EF BB BF 41", "FEFF 0041", 0},
        {"overlong forms pass", "C0 80 E0 80 AF", "0000 002F", 0},
        {"encoded surrogate passes", "ED A0 80", "D800", 0},
        {"largest character", "F4 8F BF BF", "DBFF DFFF", 0},
        {"above 10FFFF is one ?", "F4 90 80 80", "003F", 0},
        {"five-byte form is one ?", "F8 88 80 80 80", "003F", 0},
        {"six-byte form with every bit set is one ?", "FD BF BF BF BF BF 41", "003F 0041", 0},
        {"byte that cannot begin: one ? each", "80 BF FE FF", "003F 003F 003F 003F", 0},
        {"continuation byte then a character", "80 C2 A9", "003F 00A9", 0},
        {"cut sequence: one ? per byte", "E3 81", "003F 003F", 2},
        {"four bytes of a five-byte form", "F8 88 80 80", "003F 003F 003F 003F", 4},
        {"five bytes of a six-byte form", "41 FC 80 80 80 80", "0041 003F 003F 003F 003F 003F", 5},
    };
    for (const Case& c : cases) {
        check_case<Utf8ToUtf16Converter>(c, bytes_of_hex, units_of_hex, utf8_to_utf16);
    }
}

TEST(Utf16ToSjis, Cases) {
    const Case cases[] = {
        {"empty", "", "", 0},
        {"ASCII, backslash, tilde and NUL", "0041 005C 007E 0000 007F", "41 5C 7E 00 7F", 0},
        {"hiragana and kanji", "3042 4E9C", "82 A0 88 9F", 0},
        {"half-width katakana, both ends", "FF61 FF9F", "A1 DF", 0},
        {"dash and its look-alike", "2014 2015", "81 5C 81 5C", 0},
        {"wave dash and its look-alike", "301C FF5E", "81 60 81 60", 0},
        {"the other look-alikes", "00A2 00A3 00AC 2016 2212", "81 91 81 92 81 CA 81 61 81 7C", 0},
        {"several codes: JIS X 0208 first", "2252 2235 FFE2", "81 E0 81 E6 81 CA", 0},
        {"several codes: NEC row 13 next", "2160 2116 3231", "87 54 87 82 87 8A", 0},
        {"several codes: NEC-selected over IBM", "2170 FFE4 7E8A", "EE EF EE FA ED 40", 0},
        {"no code: yen, overline, C1, no-break space", "00A5 203E 0080 00A0", "3F 3F 3F 3F", 0},
        {"no code: mark and replacement character", "FEFF FFFD", "3F 3F", 0},
        {"surrogates one by one", "D83D DE00 DFFF", "3F 3F 3F", 0},
        {"private use dropped", "E000 0041 E757 F8F0 F8FF", "41", 0},
        {"just outside private use", "DFFF F900", "3F 3F", 0},
    };
    for (const Case& c : cases) {
        check_case<Utf16ToSjisConverter>(c, units_of_hex, bytes_of_hex, utf16_to_sjis);
    }
}

TEST(Utf8ToSjis, Cases) {
    const Case cases[] = {
        {"empty", "", "", 0},
        {"hiragana", "E3 81 82", "82 A0", 0},
        {"following bytes not tested", "E3 41 42", "82 A0", 0},
        {"em dash", "E2 80 94", "81 5C", 0},
        {"wave dash and full-width tilde", "E3 80 9C EF BD 9E", "81 60 81 60", 0},
        {"half-width katakana", "EF BD A1", "A1", 0},
        {"yen sign has no code", "C2 A5", "3F", 0},
        {"double low quote has no code", "E2 80 9E", "3F", 0},
        {"byte-order mark replaced", "EF BB BF 41", "3F 41", 0},
        {"private use dropped", "EE 80 80", "", 0},
        {"character above FFFF: one ? per surrogate", "F0 9F 98 80", "3F 3F", 0},
        {"above 10FFFF: one ?", "F4 90 80 80", "3F", 0},
        {"cut sequence", "E3 81", "3F 3F", 0},
        {"lone continuation byte", "80", "3F", 0},
        {"four bytes of a five-byte form", "F8 88 80 80", "3F 3F 3F 3F", 0},
        {"overlong NUL kept", "C0 80", "00", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hex(utf8_to_sjis(bytes_of_hex(c.in))), hex(bytes_of_hex(c.out))) << c.name;
    }
}

TEST(Converters, ReplacementsAndReset) {
    EXPECT_EQ(SJIS_REPLACEMENT, "?");
    EXPECT_EQ(UTF16_REPLACEMENT, u"?");

    // Output and a pending tail are both discarded.
    EucToSjisConverter euc;
    euc.input = bytes_of_hex("A4 A2 8F B0");
    euc.convert();
    euc.reset();
    EXPECT_TRUE(euc.input.empty() && euc.output.empty());
    euc.input = bytes_of_hex("A2 41");
    euc.convert();
    euc.finish();
    EXPECT_EQ(hex(euc.output), hex(bytes_of_hex("3F 41")));

    Utf8ToUtf16Converter utf8;
    utf8.input = bytes_of_hex("41 E3 81");
    utf8.convert();
    utf8.reset();
    utf8.input = bytes_of_hex("82");
    utf8.convert();
    utf8.finish();
    EXPECT_EQ(utf8.output, u"?");
}

// --- long texts: chunks and splits ---------------------------------------------

// Random texts of `count` pieces, each piece drawn from `pool` or, one time in
// eight, a random element of any value.
template <typename Text>
Text random_text(std::mt19937& random, const std::vector<Text>& pool, std::size_t count) {
    Text text;
    for (std::size_t k = 0; k < count; ++k) {
        if (random() % 8 == 0) {
            text += static_cast<typename Text::value_type>(random() %
                                                           (sizeof(typename Text::value_type) == 1 ? 256 : 65536));
        } else {
            text += pool[random() % pool.size()];
        }
    }
    return text;
}

// Feeds `text` to a fresh converter in random pieces (some empty, some a single
// element, so splits fall inside multi-byte sequences), checking after every
// convert() that only a short tail of what was fed is pending.
template <typename Converter, typename Text>
auto convert_in_pieces(const Text& text, std::mt19937& random, std::size_t pending_max) {
    Converter converter;
    std::size_t fed = 0;
    while (fed < text.size()) {
        const std::size_t piece = random() % 4 == 0 ? random() % 3 : random() % 2500;
        const std::size_t take = std::min(piece, text.size() - fed);
        converter.input += text.substr(fed, take);
        fed += take;
        converter.convert();
        EXPECT_LE(converter.input.size(), pending_max);
        EXPECT_EQ(converter.input, text.substr(fed - converter.input.size(), converter.input.size()));
    }
    converter.finish();
    return converter.output;
}

// The one-shot conversion of each text equals its conversion by the rules
// alone and the converter fed in pieces.
template <typename Converter, typename Text>
void check_splits(const std::vector<Text>& pool, auto one_shot, auto by_rules, std::size_t pending_max) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 40; ++round) {
        const Text text = random_text(random, pool, 1000 + random() % 2500);
        const Text copy = text;
        const auto whole = one_shot(text);
        EXPECT_EQ(text, copy) << "the argument changed";
        EXPECT_EQ(by_rules(text), whole) << "round " << round << ": fast paths and rules differ";
        EXPECT_EQ(convert_in_pieces<Converter>(text, random, pending_max), whole) << "round " << round;
    }
}

// Pieces written as hex, separated by '|'.
std::vector<std::string> pieces(std::string_view hex_pieces) {
    std::vector<std::string> out;
    for (std::size_t start = 0; start <= hex_pieces.size();) {
        const std::size_t end = std::min(hex_pieces.find('|', start), hex_pieces.size());
        out.push_back(bytes_of_hex(hex_pieces.substr(start, end - start)));
        start = end + 1;
    }
    return out;
}

const std::vector<std::string> euc_pool =
    pieces("61|0D 0A|A4 A2|B0 A1|8E B1|8F B0 A1|F9 A1|FC FB|FA 85|A4 41|A4|8F|AD A1|90 A1|A1 A1 A1|FF");
const std::vector<std::string> utf8_pool = pieces(
    "61|0D 0A|E3 81 82|C2 A9|F0 9F 98 80|EF BB BF|EE 80 80|E3 41 42|80|E3 81|F8 88 80 80 80|FC 80 80 80 80 80|"
    "EF BD A1|C2 A5|ED A0 80");
const std::vector<std::u16string> utf16_pool = {
    u"a", u"\u3042", u"\u4E9C", u"\uFF61", u"\uE000", units_of_hex("D83D DE00"), u"\u00A5", u"\u2170", u"\u301C"};

TEST(EucToSjis, SplitsGiveTheSameOutput) {
    check_splits<EucToSjisConverter>(euc_pool, euc_to_sjis, plain::euc_to_sjis, 2);
}

TEST(Utf8ToUtf16, SplitsGiveTheSameOutput) {
    check_splits<Utf8ToUtf16Converter>(utf8_pool, utf8_to_utf16, plain::utf8_to_utf16, 5);
}

TEST(Utf16ToSjis, SplitsGiveTheSameOutput) {
    check_splits<Utf16ToSjisConverter>(utf16_pool, utf16_to_sjis, plain::utf16_to_sjis, 0);
}

// Every character in one long text, in a fixed random order, among ASCII
// words: the text converts to the sum of its characters' conversions, so the
// paths that take several characters at once agree with the one-by-one
// rules on every code, and chunk ends lose and add nothing.
TEST(Converters, EveryCodeInALongText) {
    std::mt19937 random(11);
    std::vector<std::string> euc_codes;
    for (unsigned b1 = 0xA1; b1 <= 0xFE; ++b1) {
        for (unsigned b2 = 0xA1; b2 <= 0xFE; ++b2) {
            // FCEF, FCF0 and FCFB leave their second byte to pair with what follows.
            if (b1 != 0xFC || (b2 != 0xEF && b2 != 0xF0 && b2 != 0xFB)) {
                euc_codes.push_back({static_cast<char>(b1), static_cast<char>(b2)});
            }
        }
        euc_codes.push_back({static_cast<char>(0x8E), static_cast<char>(b1)});
    }
    std::vector<std::string> utf8_codes;
    for (std::uint32_t cp = 0x80; cp <= 0xFFFF; ++cp) {
        utf8_codes.push_back(utf8_of(cp));
    }
    auto check = [&](std::vector<std::string> codes, auto convert) {
        std::shuffle(codes.begin(), codes.end(), random);
        std::string text;
        decltype(convert(text)) want;
        for (const std::string& code : codes) {
            if (random() % 8 == 0) {
                const std::string word(random() % 20, 'a');
                text += word;
                want.append(word.begin(), word.end());
            }
            text += code;
            want += convert(code);
        }
        EXPECT_EQ(convert(text), want) << codes.size() << " codes";
    };
    check(euc_codes, euc_to_sjis);
    check(utf8_codes, utf8_to_sjis);
    check(utf8_codes, utf8_to_utf16);
}

// ASCII runs of every length, before a character and at the very end of the
// text, come out unchanged (they are copied several bytes at a time).
TEST(Converters, AsciiRunsOfEveryLength) {
    const std::string letters = "abcdefghijklmnopqrstuvwxyz0123456789!#$%";
    for (std::size_t n = 0; n <= letters.size(); ++n) {
        const std::string run = letters.substr(0, n);
        const std::u16string run16(run.begin(), run.end());
        EXPECT_EQ(hex(euc_to_sjis(run + bytes_of_hex("A4 A2") + run)), hex(run + bytes_of_hex("82 A0") + run)) << n;
        EXPECT_EQ(hex(utf8_to_utf16(run + bytes_of_hex("E3 81 82") + run)), hex(run16 + u"\u3042" + run16)) << n;
        EXPECT_EQ(hex(utf8_to_sjis(run + bytes_of_hex("E3 81 82") + run)), hex(run + bytes_of_hex("82 A0") + run)) << n;
        EXPECT_EQ(hex(utf16_to_sjis(run16 + u"\u3042" + run16)), hex(run + bytes_of_hex("82 A0") + run)) << n;
    }
}

// utf8_to_sjis is the UTF-16 to Shift_JIS conversion of the finished UTF-16
// text, pending bytes at the end included, fast paths or the rules alone.
TEST(Utf8ToSjis, EqualsConversionByWayOfUtf16) {
    const std::vector<std::string> cut_tails = {bytes_of_hex("C2"), bytes_of_hex("E3 81"), bytes_of_hex("F0 9F 98"),
                                                bytes_of_hex("FC 80 80 80 80")};
    std::mt19937 random(99);
    for (int round = 0; round < 60; ++round) {
        std::string text = random_text(random, utf8_pool, random() % 3000);
        if (round % 2 == 1) {
            text += cut_tails[random() % cut_tails.size()];
        }
        const std::string sjis = utf8_to_sjis(text);
        EXPECT_EQ(hex(sjis), hex(utf16_to_sjis(utf8_to_utf16(text)))) << "round " << round;
        EXPECT_EQ(hex(sjis), hex(plain::utf8_to_sjis(text))) << "round " << round;
    }
}

// --- against glibc iconv ---------------------------------------------------

// One difference between our output and iconv's for one input code.
struct Difference {
    std::uint32_t code;                // EUC-JP code or code point
    std::string ours;                  // our output
    std::optional<std::string> iconv;  // iconv's output, none when it rejects the input
};

struct Rule {
    const char* name;
    std::function<bool(const Difference&)> applies;
    std::size_t expected;
    std::size_t count = 0;
};

// Every difference must fall under exactly one rule, and each rule must
// explain exactly as many differences as it expects.
void classify(const std::vector<Difference>& differences, std::vector<Rule>& rules) {
    for (const Difference& d : differences) {
        std::vector<Rule*> matching;
        for (Rule& rule : rules) {
            if (rule.applies(d)) {
                matching.push_back(&rule);
            }
        }
        if (matching.size() != 1) {
            ADD_FAILURE() << std::hex << "code " << d.code << ": ours [" << hex(d.ours) << "] iconv ["
                          << (d.iconv ? hex(*d.iconv) : std::string("rejects")) << "] matches " << matching.size()
                          << " rules";
            continue;
        }
        ++matching.front()->count;
    }
    for (const Rule& rule : rules) {
        EXPECT_EQ(rule.count, rule.expected) << rule.name;
    }
}

std::uint32_t lead(const std::string& sjis) {
    return sjis.size() == 2 ? static_cast<unsigned char>(sjis[0]) : 0;
}

bool user_defined(const std::optional<std::string>& sjis) {
    return sjis && lead(*sjis) >= 0xF0 && lead(*sjis) <= 0xF9;
}

// The Shift_JIS code of a JIS X 0208 row and cell, written from the row/cell
// rule rather than from the converter's byte arithmetic.
std::string jis_code(unsigned row, unsigned cell) {
    const unsigned first = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
    const unsigned second = row % 2 == 1 ? cell + 0x3F + (cell >= 64 ? 1 : 0) : cell + 0x9E;
    return {static_cast<char>(first), static_cast<char>(second)};
}

TEST(EucToSjis, AgreesWithIconvExceptByRule) {
    Iconv from_euc("CP932", "EUC-JP-MS");
    Iconv decode("UTF-32LE", "CP932");
    ASSERT_TRUE(from_euc.ok() && decode.ok());

    std::vector<Difference> differences;
    std::size_t compared = 0;
    auto compare = [&](std::uint32_t code, const std::string& in) {
        ++compared;
        Difference d{code, euc_to_sjis(in), from_euc.convert(in)};
        if (d.iconv != d.ours) {
            differences.push_back(std::move(d));
        }
    };
    for (unsigned b2 = 0xA1; b2 <= 0xDF; ++b2) {
        compare(0x8E00 + b2, {static_cast<char>(0x8E), static_cast<char>(b2)});
    }
    for (unsigned b1 = 0xA1; b1 <= 0xFE; ++b1) {
        for (unsigned b2 = 0xA1; b2 <= 0xFE; ++b2) {
            compare(b1 * 256 + b2, {static_cast<char>(b1), static_cast<char>(b2)});
            compare(0x8F0000 + b1 * 256 + b2, {static_cast<char>(0x8F), static_cast<char>(b1), static_cast<char>(b2)});
        }
    }
    EXPECT_EQ(compared, 63u + 2 * 94 * 94);

    auto row = [](const Difference& d) { return d.code >= 0xA100 && d.code <= 0xFFFF ? (d.code >> 8) - 0xA0 : 0; };
    auto cell = [](const Difference& d) { return (d.code & 0xFF) - 0xA0; };
    auto by_arithmetic = [&](const Difference& d) { return d.ours == jis_code(row(d), cell(d)); };
    auto undefined = [&](const std::string& sjis) { return !decode.convert(sjis).has_value(); };
    std::vector<Rule> rules = {
        {"codes EUC-JP-MS leaves undefined: iconv rejects them, we write the row/cell code, which code page 932 "
         "leaves undefined too",
         [&](const Difference& d) {
             return row(d) != 0 && row(d) < 85 && !d.iconv && by_arithmetic(d) && undefined(d.ours);
         },
         934},
        {"NEC row 13 characters that JIS X 0208 also has: iconv goes by the character to the JIS X 0208 code, "
         "we keep the row 13 code",
         [&](const Difference& d) {
             return row(d) == 13 && d.iconv && lead(*d.iconv) <= 0x84 && by_arithmetic(d) &&
                    decode.convert(d.ours).has_value() && decode.convert(d.ours) == decode.convert(*d.iconv);
         },
         9},
        {"rows 85-88 and 93-94: EUC-JP-MS makes them user-defined (iconv: 0xF040-0xF4FC), we write the row/cell "
         "code, undefined in code page 932",
         [&](const Difference& d) {
             return ((row(d) >= 85 && row(d) <= 88) || row(d) >= 93) && user_defined(d.iconv) && by_arithmetic(d) &&
                    undefined(d.ours);
         },
         564},
        {"rows 89-92: EUC-JP-MS makes them user-defined, we read them as the NEC-selected IBM extensions and write "
         "the IBM extension code of the same character",
         [&](const Difference& d) {
             return row(d) >= 89 && row(d) <= 92 && user_defined(d.iconv) && lead(d.ours) >= 0xFA &&
                    decode.convert(d.ours) == decode.convert(jis_code(row(d), cell(d)));
         },
         373},
        {"rows 89-92 without a table entry (0xFCEF, 0xFCF0, 0xFCFB): '?' for the lead byte, the second byte is "
         "left alone at the end and finished as '?'",
         [&](const Difference& d) { return row(d) == 92 && user_defined(d.iconv) && d.ours == "??"; }, 3},
        {"three-byte codes of user-defined rows 85-94: EUC-JP-MS makes them user-defined (iconv: "
         "0xF540-0xF9FC), we write one '?'",
         [&](const Difference& d) { return d.code >= 0x8FF5A1 && user_defined(d.iconv) && d.ours == "?"; }, 940},
        {"other three-byte codes (JIS X 0212) of characters code page 932 has: iconv converts them, we write one '?'",
         [&](const Difference& d) { return d.code > 0xFFFF && d.code < 0x8FF5A1 && d.iconv && d.ours == "?"; }, 388},
        {"three-byte codes of characters code page 932 lacks: iconv rejects them, we write one '?'",
         [&](const Difference& d) { return d.code > 0xFFFF && !d.iconv && d.ours == "?"; }, 7508},
    };
    classify(differences, rules);
}

TEST(Utf8ToSjis, AgreesWithIconvExceptByRule) {
    Iconv from_utf8("CP932", "UTF-8");
    Iconv decode("UTF-32LE", "CP932");
    ASSERT_TRUE(from_utf8.ok() && decode.ok());

    std::vector<Difference> differences;
    std::size_t agreed = 0;
    for (std::uint32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        const std::string in = utf8_of(cp);
        Difference d{cp, utf8_to_sjis(in), from_utf8.convert(in)};
        if (d.iconv == d.ours) {
            ++agreed;
        } else {
            differences.push_back(std::move(d));
        }
    }
    // ASCII, half-width katakana, the 7,326 characters of the double-byte
    // codes less the 373 below, and the seven look-alikes, which both map.
    EXPECT_EQ(agreed, 128u + 63 + 7326 - 373 + 7);

    auto in = [](const Difference& d, std::uint32_t first, std::uint32_t last) {
        return d.code >= first && d.code <= last;
    };
    std::vector<Rule> rules = {
        {"characters with several codes: iconv picks the IBM extension (0xFA-0xFC), we pick the NEC-selected "
         "code (0xED/0xEE)",
         [&](const Difference& d) {
             return d.iconv && lead(*d.iconv) >= 0xFA && lead(*d.iconv) <= 0xFC && lead(d.ours) >= 0xED &&
                    lead(d.ours) <= 0xEE && decode.convert(d.ours).has_value() &&
                    decode.convert(d.ours) == decode.convert(*d.iconv);
         },
         373},
        {"U+00A5 and U+203E: iconv maps them to 0x5C and 0x7E, we have no code for them and write '?'",
         [&](const Difference& d) { return (d.code == 0xA5 || d.code == 0x203E) && d.ours == "?"; }, 2},
        {"user-defined area U+E000-U+E757: iconv maps it to 0xF040-0xF9FC, we drop private use",
         [&](const Difference& d) { return in(d, 0xE000, 0xE757) && user_defined(d.iconv) && d.ours.empty(); }, 1880},
        {"the rest of private use U+E758-U+F8FF: iconv rejects it, we drop it",
         [&](const Difference& d) { return in(d, 0xE758, 0xF8FF) && !d.iconv && d.ours.empty(); }, 6400 - 1880},
        {"BMP characters without a code: iconv rejects them, we write '?'",
         [&](const Difference& d) { return d.code <= 0xFFFF && !in(d, 0xD800, 0xDFFF) && !d.iconv && d.ours == "?"; },
         65536 - 2048 - 6400 - (128 + 63 + 7326 + 7) - 2},
        {"surrogate code points: iconv rejects their UTF-8 form, we decode it to one unit without a code",
         [&](const Difference& d) { return in(d, 0xD800, 0xDFFF) && !d.iconv && d.ours == "?"; }, 2048},
        {"tag characters U+E0000-U+E007F: iconv drops them, we write one '?' per surrogate",
         [&](const Difference& d) { return in(d, 0xE0000, 0xE007F) && d.iconv == "" && d.ours == "??"; }, 128},
        {"other characters above U+FFFF: iconv rejects them, we write one '?' per surrogate",
         [&](const Difference& d) { return d.code > 0xFFFF && !in(d, 0xE0000, 0xE007F) && !d.iconv && d.ours == "??"; },
         0x100000 - 128},
    };
    classify(differences, rules);
}

}  // namespace
}  // namespace postori
