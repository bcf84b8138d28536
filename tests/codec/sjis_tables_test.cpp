// SPDX-License-Identifier: GPL-3.0-or-later
#include "codec/sjis_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/cp932_mapping.h"

namespace postori {
namespace {

struct Shape {
    int tops = 0;
    int leaves = 0;  // leaf references, shared leaves counted at each place
    int entries = 0;
};

Shape shape_of(const CodeTable& table) {
    Shape shape;
    for (const CodeMiddle* middle : table.top) {
        if (middle == nullptr) {
            continue;
        }
        ++shape.tops;
        for (const CodeLeaf* leaf : *middle) {
            if (leaf == nullptr) {
                continue;
            }
            ++shape.leaves;
            for (std::uint32_t value : *leaf) {
                shape.entries += value != 0 ? 1 : 0;
            }
        }
    }
    return shape;
}

// Every stored middle and leaf holds at least one entry.
bool has_empty_blocks(const CodeTable& table) {
    for (const CodeMiddle* middle : table.top) {
        if (middle == nullptr) {
            continue;
        }
        bool any_leaf = false;
        for (const CodeLeaf* leaf : *middle) {
            if (leaf == nullptr) {
                continue;
            }
            any_leaf = true;
            bool any_value = false;
            for (std::uint32_t value : *leaf) {
                any_value = any_value || value != 0;
            }
            if (!any_value) {
                return true;
            }
        }
        if (!any_leaf) {
            return true;
        }
    }
    return false;
}

TEST(CodeTables, Shape) {
    struct Case {
        const char* name;
        const CodeTable& table;
        int tops;
        int leaves;
        int entries;
    };
    const Case cases[] = {
        {"unicode_to_sjis_table", unicode_to_sjis_table, 98, 689, 7396},
        {"euc_ibm_to_sjis_table", euc_ibm_to_sjis_table, 4, 12, 373},
        {"sjis_to_unicode_table", sjis_to_unicode_table, 45, 255, 7724},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Shape shape = shape_of(c.table);
        EXPECT_EQ(shape.tops, c.tops);
        EXPECT_EQ(shape.leaves, c.leaves);
        EXPECT_EQ(shape.entries, c.entries);
        EXPECT_FALSE(has_empty_blocks(c.table));
    }
}

// The bytes sjis_bytes_of_unit says a unit becomes, read through its
// documented encoding: the value as a little-endian number, one byte when it
// is up to 0xFF and two when above. Empty for SJIS_BYTES_NONE.
std::vector<int> bytes_of_unit(std::uint32_t unit) {
    const std::uint32_t value = sjis_bytes_of_unit[unit];
    if (value == SJIS_BYTES_NONE) {
        return {};
    }
    if (value <= 0xFF) {
        return {static_cast<int>(value)};
    }
    return {static_cast<int>(value & 0xFF), static_cast<int>(value >> 8)};
}

// sjis_bytes_of_unit is unicode_to_sjis_table unit for unit, with ASCII as
// itself and SJIS_BYTES_NONE exactly where neither gives anything.
TEST(CodeTables, SjisBytesOfUnitEqualsTheTable) {
    int one_byte = 0;
    int two_bytes = 0;
    int none = 0;
    for (std::uint32_t unit = 0; unit <= 0xFFFF; ++unit) {
        const std::uint32_t code = lookup(unicode_to_sjis_table, unit);
        std::vector<int> expected;
        if (unit < 0x80) {
            ASSERT_EQ(code, 0u) << std::hex << "unit " << unit;
            expected = {static_cast<int>(unit)};
        } else if (code > 0xFF) {
            expected = {static_cast<int>(code >> 8), static_cast<int>(code & 0xFF)};
        } else if (code != 0) {
            expected = {static_cast<int>(code)};
        }
        ASSERT_EQ(bytes_of_unit(unit), expected) << std::hex << "unit " << unit;
        const std::uint32_t value = sjis_bytes_of_unit[unit];
        if (expected.empty()) {
            ASSERT_EQ(value, SJIS_BYTES_NONE) << std::hex << "unit " << unit;
            ++none;
        } else if (expected.size() == 1) {
            ASSERT_NE(expected[0], 0xFF) << std::hex << "unit " << unit;
            ++one_byte;
        } else {
            ASSERT_GE(expected[1], 0x40) << std::hex << "unit " << unit;  // a value above 0xFF
            ++two_bytes;
        }
    }
    EXPECT_EQ(one_byte, 128 + 63);  // ASCII and U+FF61-U+FF9F
    EXPECT_EQ(two_bytes, 7396 - 63);
    EXPECT_EQ(none, 0x10000 - 128 - 7396);
    // ASCII, U+0000 among it, is itself; private use and other units without
    // a code are SJIS_BYTES_NONE.
    EXPECT_EQ(sjis_bytes_of_unit[0x0000], 0x0000);
    EXPECT_EQ(sjis_bytes_of_unit[0x0041], 0x0041);
    EXPECT_EQ(sjis_bytes_of_unit[0x007F], 0x007F);
    EXPECT_EQ(sjis_bytes_of_unit[0x0080], SJIS_BYTES_NONE);
    EXPECT_EQ(sjis_bytes_of_unit[0xE000], SJIS_BYTES_NONE);
    EXPECT_EQ(sjis_bytes_of_unit[0xF8FF], SJIS_BYTES_NONE);
    EXPECT_EQ(sjis_bytes_of_unit[0xFFFD], SJIS_BYTES_NONE);
    // U+3042 HIRAGANA LETTER A is 82 A0, U+FF71 HALFWIDTH KATAKANA LETTER A
    // is B1.
    EXPECT_EQ(bytes_of_unit(0x3042), (std::vector<int>{0x82, 0xA0}));
    EXPECT_EQ(bytes_of_unit(0xFF71), (std::vector<int>{0xB1}));
}

TEST(CodeTables, UnicodeTopEntries) {
    std::vector<int> present;
    for (int high = 0; high < 256; ++high) {
        if (unicode_to_sjis_table.top[static_cast<std::size_t>(high)] != nullptr) {
            present.push_back(high);
        }
    }
    std::vector<int> expected = {0x00, 0x03, 0x04, 0x30, 0x32, 0x33, 0xF9, 0xFA, 0xFF};
    for (int high = 0x20; high <= 0x26; ++high) {
        expected.push_back(high);
    }
    for (int high = 0x4E; high <= 0x9F; ++high) {
        expected.push_back(high);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(present, expected);
}

TEST(CodeTables, KnownLookups) {
    struct Case {
        const char* table_name;
        const CodeTable& table;
        std::uint32_t code;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"unicode", unicode_to_sjis_table, 0x3042, 0x82A0},
        {"unicode", unicode_to_sjis_table, 0xFF61, 0xA1},
        {"unicode", unicode_to_sjis_table, 0xFF9F, 0xDF},
        {"unicode", unicode_to_sjis_table, 0xFF3C, 0x815F},
        {"unicode", unicode_to_sjis_table, 0x301C, 0x8160},
        {"unicode", unicode_to_sjis_table, 0xFF5E, 0x8160},
        {"unicode", unicode_to_sjis_table, 0x2014, 0x815C},
        {"unicode", unicode_to_sjis_table, 0x2015, 0x815C},
        {"unicode", unicode_to_sjis_table, 0x00A2, 0x8191},
        {"unicode", unicode_to_sjis_table, 0x00A3, 0x8192},
        {"unicode", unicode_to_sjis_table, 0x00AC, 0x81CA},
        {"unicode", unicode_to_sjis_table, 0x2016, 0x8161},
        {"unicode", unicode_to_sjis_table, 0x2212, 0x817C},
        // several codes: JIS X 0208 first, then NEC row 13, then NEC-selected IBM
        {"unicode", unicode_to_sjis_table, 0x2252, 0x81E0},
        {"unicode", unicode_to_sjis_table, 0x2235, 0x81E6},
        {"unicode", unicode_to_sjis_table, 0xFFE2, 0x81CA},
        {"unicode", unicode_to_sjis_table, 0x2160, 0x8754},
        {"unicode", unicode_to_sjis_table, 0x2116, 0x8782},
        {"unicode", unicode_to_sjis_table, 0x3231, 0x878A},
        {"unicode", unicode_to_sjis_table, 0x2170, 0xEEEF},
        {"unicode", unicode_to_sjis_table, 0xFFE4, 0xEEFA},
        {"unicode", unicode_to_sjis_table, 0x7E8A, 0xED40},
        // no entry
        {"unicode", unicode_to_sjis_table, 0x0041, 0},
        {"unicode", unicode_to_sjis_table, 0x005C, 0},
        {"unicode", unicode_to_sjis_table, 0x007E, 0},
        {"unicode", unicode_to_sjis_table, 0x00A5, 0},
        {"unicode", unicode_to_sjis_table, 0x203E, 0},
        {"unicode", unicode_to_sjis_table, 0xFEFF, 0},
        {"unicode", unicode_to_sjis_table, 0xFFFD, 0},
        {"unicode", unicode_to_sjis_table, 0xE000, 0},
        {"unicode", unicode_to_sjis_table, 0xF8FF, 0},
        {"unicode", unicode_to_sjis_table, 0xD800, 0},
        {"unicode", unicode_to_sjis_table, 0xDFFF, 0},
        {"unicode", unicode_to_sjis_table, 0x13042, 0},
        {"unicode", unicode_to_sjis_table, 0xFFFFFFFF, 0},
        {"euc_ibm", euc_ibm_to_sjis_table, 0xF9A1, 0xFA5C},
        {"euc_ibm", euc_ibm_to_sjis_table, 0xFCF1, 0xFA40},
        {"euc_ibm", euc_ibm_to_sjis_table, 0xFCFE, 0xFA57},
        {"euc_ibm", euc_ibm_to_sjis_table, 0xFCFB, 0},
        {"euc_ibm", euc_ibm_to_sjis_table, 0xFCEF, 0},
        {"euc_ibm", euc_ibm_to_sjis_table, 0xFCF0, 0},
        {"euc_ibm", euc_ibm_to_sjis_table, 0xFA85, 0},
        {"euc_ibm", euc_ibm_to_sjis_table, 0xF9A0, 0},
        {"euc_ibm", euc_ibm_to_sjis_table, 0xB0A1, 0},
        {"euc_ibm", euc_ibm_to_sjis_table, 0x1F9A1, 0},
        {"sjis", sjis_to_unicode_table, 0x82A0, 0x3042},
        {"sjis", sjis_to_unicode_table, 0x8160, 0xFF5E},
        {"sjis", sjis_to_unicode_table, 0xFA40, 0x2170},
        {"sjis", sjis_to_unicode_table, 0xEEEF, 0x2170},
        {"sjis", sjis_to_unicode_table, 0x00A1, 0},
        {"sjis", sjis_to_unicode_table, 0xF040, 0},
        {"sjis", sjis_to_unicode_table, 0x10000 + 0x82A0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lookup(c.table, c.code), c.value) << c.table_name << " " << std::hex << c.code;
    }
}

// --- against the mapping file ---

// Double-byte code -> character, from the mapping file; the line number of
// each code for failure messages.
struct Mapping {
    std::map<std::uint32_t, std::uint32_t> double_byte;
    std::map<std::uint32_t, int> line_of;
};

class AgainstMappingFile : public testing::Test {
protected:
    void SetUp() override {
        const auto file = reference::read_cp932_mapping();
        if (!file) {
            GTEST_SKIP() << "the code page 932 mapping file is not at " << reference::cp932_mapping_path()
                         << "; the tables are checked against it only where it is at hand";
        }
        for (const auto& [code, unicode] : file->unicode_of) {
            if (code > 0xFF) {
                mapping.double_byte[code] = unicode;
            }
        }
        mapping.line_of = file->line_of;
    }
    Mapping mapping;
};

// 0 for JIS X 0208, 1 for NEC row 13, 2 for NEC-selected IBM, 3 for IBM.
int preference(std::uint32_t code) {
    const std::uint32_t lead = code >> 8;
    if (lead == 0x87) {
        return 1;
    }
    if (lead == 0xED || lead == 0xEE) {
        return 2;
    }
    if (lead >= 0xFA && lead <= 0xFC) {
        return 3;
    }
    return 0;
}

TEST_F(AgainstMappingFile, FileFigures) {
    std::set<std::uint32_t> characters;
    for (const auto& [code, unicode] : mapping.double_byte) {
        characters.insert(unicode);
    }
    EXPECT_EQ(mapping.double_byte.size(), 7724u);
    EXPECT_EQ(characters.size(), 7326u);
}

TEST_F(AgainstMappingFile, DecodingTableHoldsEveryDoubleByteCode) {
    for (std::uint32_t code = 0; code <= 0xFFFF; ++code) {
        const auto found = mapping.double_byte.find(code);
        const std::uint32_t expected = found == mapping.double_byte.end() ? 0 : found->second;
        ASSERT_EQ(lookup(sjis_to_unicode_table, code), expected)
            << std::hex << "code " << code << std::dec << ", mapping file line " << mapping.line_of[code];
    }
}

TEST_F(AgainstMappingFile, UnicodeTableIsTheFileByTheSelectionRules) {
    // The best code of each character: lowest preference group, then lowest code.
    std::map<std::uint32_t, std::uint32_t> expected;
    for (const auto& [code, unicode] : mapping.double_byte) {
        auto [it, inserted] = expected.emplace(unicode, code);
        if (!inserted && (preference(code) < preference(it->second) ||
                          (preference(code) == preference(it->second) && code < it->second))) {
            it->second = code;
        }
    }
    for (std::uint32_t u = 0xFF61; u <= 0xFF9F; ++u) {
        expected[u] = u - 0xFF61 + 0xA1;
    }
    const std::map<std::uint32_t, std::uint32_t> extras = {
        {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00AC, 0x81CA}, {0x2014, 0x815C},
        {0x2016, 0x8161}, {0x2212, 0x817C}, {0x301C, 0x8160},
    };
    for (const auto& [u, code] : extras) {
        ASSERT_EQ(expected.count(u), 0u) << std::hex << u << " is in the mapping file";
        // The look-alike that the file gives this code maps to it too.
        ASSERT_EQ(expected[mapping.double_byte.at(code)], code);
        expected[u] = code;
    }
    int several_codes = 0;
    std::map<std::uint32_t, int> codes_per_character;
    for (const auto& [code, unicode] : mapping.double_byte) {
        ++codes_per_character[unicode];
    }
    for (const auto& [unicode, count] : codes_per_character) {
        several_codes += count > 1 ? 1 : 0;
    }
    EXPECT_EQ(several_codes, 396);

    for (std::uint32_t u = 0; u <= 0xFFFF; ++u) {
        const auto found = expected.find(u);
        const std::uint32_t want = found == expected.end() ? 0 : found->second;
        const std::uint32_t got = lookup(unicode_to_sjis_table, u);
        ASSERT_EQ(got, want) << std::hex << "U+" << u;
        if (got > 0xFF) {
            EXPECT_LT(preference(got), 3) << std::hex << "U+" << u << " maps to an IBM extension code";
        }
    }
}

// The Shift_JIS code of a two-byte EUC-JP code: row and cell, then the usual
// JIS to Shift_JIS folding.
std::uint32_t sjis_of_euc(std::uint32_t euc) {
    const std::uint32_t row = (euc >> 8) - 0xA0;
    const std::uint32_t cell = (euc & 0xFF) - 0xA0;
    const std::uint32_t lead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
    const std::uint32_t trail = row % 2 == 1 ? cell + (cell < 64 ? 0x3F : 0x40) : cell + 0x9E;
    return lead << 8 | trail;
}

TEST_F(AgainstMappingFile, EucIbmTableGivesTheIbmCodeOfTheSameCharacter) {
    int entries = 0;
    for (std::uint32_t key = 0xF900; key <= 0xFCFF; ++key) {
        const std::uint32_t got = lookup(euc_ibm_to_sjis_table, key);
        const std::uint32_t trail = key & 0xFF;
        if (trail < 0xA1 || trail > 0xFE || key == 0xFCFB) {
            EXPECT_EQ(got, 0u) << std::hex << key;
            continue;
        }
        const std::uint32_t nec_selected = sjis_of_euc(key);
        ASSERT_GE(nec_selected, 0xED40u);
        ASSERT_LE(nec_selected, 0xEEFCu);
        const auto character = mapping.double_byte.find(nec_selected);
        if (character == mapping.double_byte.end()) {
            EXPECT_EQ(got, 0u) << std::hex << key;
            continue;
        }
        ++entries;
        ASSERT_GE(got, 0xFA40u) << std::hex << key;
        ASSERT_LE(got, 0xFC4Bu) << std::hex << key;
        EXPECT_EQ(mapping.double_byte.at(got), character->second) << std::hex << key;
    }
    EXPECT_EQ(entries, 373);
}

}  // namespace
}  // namespace postori
