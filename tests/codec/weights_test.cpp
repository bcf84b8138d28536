// SPDX-License-Identifier: GPL-3.0-or-later
// The detector's character weights: the committed list (codec/data/weights.tsv)
// has the shape the detector relies on, and the three generated tables hold
// exactly that list, each keyed by its own code.
#include "codec/weight_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/cp932_mapping.h"

namespace postori {
namespace {

constexpr std::uint64_t TOTAL = 6146799;
constexpr std::size_t LIST_SIZE = 1691;

struct Row {
    std::uint32_t code_point = 0;
    std::uint32_t weight = 0;
    std::uint32_t sjis = 0;
    std::string cls;
    int line = 0;
};

std::filesystem::path list_path() {
    // tests/codec/weights_test.cpp -> <repo>/codec/data/weights.tsv
    return std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "codec" / "data" / "weights.tsv";
}

std::vector<Row> read_list() {
    std::ifstream in(list_path());
    std::vector<Row> rows;
    std::string line;
    int number = 0;
    bool header_seen = false;
    while (std::getline(in, line)) {
        ++number;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) {
            fields.push_back(field);
        }
        if (!header_seen) {
            header_seen = true;
            EXPECT_EQ(fields.at(0), "codepoint") << "header, line " << number;
            continue;
        }
        if (fields.size() < 5 || fields[0].rfind("U+", 0) != 0) {
            ADD_FAILURE() << "line " << number << " is not a row: " << line;
            continue;
        }
        Row row;
        row.code_point = static_cast<std::uint32_t>(std::stoul(fields[0].substr(2), nullptr, 16));
        row.weight = static_cast<std::uint32_t>(std::stoul(fields[2]));
        row.sjis = static_cast<std::uint32_t>(std::stoul(fields[3], nullptr, 16));
        row.cls = fields[4];
        row.line = number;
        rows.push_back(row);
    }
    return rows;
}

// Read once; every test starts from the same rows.
const std::vector<Row>& list() {
    static const std::vector<Row> rows = read_list();
    return rows;
}

std::map<std::uint32_t, std::uint32_t> weight_by_code_point() {
    std::map<std::uint32_t, std::uint32_t> weights;
    for (const Row& row : list()) {
        weights[row.code_point] = row.weight;
    }
    return weights;
}

std::set<std::uint32_t> code_range(std::uint32_t first, std::uint32_t last, std::u32string but = U"") {
    std::set<std::uint32_t> out;
    for (std::uint32_t u = first; u <= last; ++u) {
        if (but.find(static_cast<char32_t>(u)) == std::u32string::npos) {
            out.insert(u);
        }
    }
    return out;
}

std::set<std::uint32_t> merged(std::set<std::uint32_t> a, const std::set<std::uint32_t>& b) {
    a.insert(b.begin(), b.end());
    return a;
}

// The class of a row judged from its codes alone, independent of the class
// column.
std::string class_of(const Row& row) {
    const std::uint32_t u = row.code_point;
    const std::uint32_t s = row.sjis;
    if (s <= 0xFF) {
        return "halfwidth-katakana";
    }
    if (s >= 0x889F && s <= 0x9872) {
        return "kanji-1";
    }
    if (s >= 0x989F && s <= 0xEAA4) {
        return "kanji-2";
    }
    if (u >= 0x3041 && u <= 0x309F) {
        return "hiragana";
    }
    if (u >= 0x30A0 && u <= 0x30FF) {
        return "katakana";
    }
    if (u >= 0xFF01 && u <= 0xFF5E) {
        return "fullwidth-ascii";
    }
    if (u >= 0x3000 && u <= 0x303F) {
        return "cjk-punctuation";
    }
    if (u >= 0x2500 && u <= 0x257F) {
        return "box-drawing";
    }
    if (u >= 0x0391 && u <= 0x03C9) {
        return "greek";
    }
    if (u >= 0x0401 && u <= 0x0451) {
        return "cyrillic";
    }
    if (u >= 0x2010 && u <= 0x203B) {
        return "general-punctuation";
    }
    if (u >= 0x25A0 && u <= 0x25FF) {
        return "geometric-shapes";
    }
    if (u >= 0x2190 && u <= 0x21FF) {
        return "arrows";
    }
    if (std::u32string(U"⌒★☆♪￢￣￥").find(static_cast<char32_t>(u)) != std::u32string::npos) {
        return "named-symbol";
    }
    return "mathematical";
}

// The EUC-JP code of a Shift_JIS code: half-width katakana behind 8E, else
// the JIS row and cell, each + 0xA0.
std::uint32_t euc_of_sjis(std::uint32_t sjis) {
    if (sjis <= 0xFF) {
        return 0x8E00 | sjis;
    }
    const std::uint32_t lead = sjis >> 8;
    const std::uint32_t trail = sjis & 0xFF;
    std::uint32_t row = (lead < 0xE0 ? lead - 0x81 : lead - 0xC1) * 2 + 1;
    std::uint32_t cell = trail - (trail < 0x80 ? 0x3F : 0x40);
    if (trail >= 0x9F) {
        ++row;
        cell = trail - 0x9E;
    }
    return (row + 0xA0) << 8 | (cell + 0xA0);
}

TEST(WeightList, SizeTotalAndExtremes) {
    const std::vector<Row>& rows = list();
    ASSERT_EQ(rows.size(), LIST_SIZE) << list_path();
    std::uint64_t total = 0;
    std::set<std::uint32_t> code_points;
    for (const Row& row : rows) {
        total += row.weight;
        EXPECT_TRUE(code_points.insert(row.code_point).second) << "U+" << std::hex << row.code_point << " twice";
    }
    EXPECT_EQ(total, TOTAL);
    const auto [lightest, heaviest] =
        std::minmax_element(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.weight < b.weight; });
    EXPECT_EQ(heaviest->code_point, 0x3000u);
    EXPECT_EQ(heaviest->weight, 395578u);
    EXPECT_EQ(lightest->code_point, 0x718Au);
    EXPECT_EQ(lightest->weight, 100u);
    // U+718A is the only row at the bottom.
    for (const Row& row : rows) {
        if (row.code_point != 0x718A) {
            EXPECT_GT(row.weight, 100u) << "line " << row.line;
        }
    }
}

TEST(WeightList, SortedHeaviestFirst) {
    const std::vector<Row>& rows = list();
    for (std::size_t k = 1; k < rows.size(); ++k) {
        const Row& a = rows[k - 1];
        const Row& b = rows[k];
        EXPECT_TRUE(a.weight > b.weight || (a.weight == b.weight && a.code_point < b.code_point))
            << "lines " << a.line << " and " << b.line;
    }
}

TEST(WeightList, ClassSizes) {
    std::map<std::string, int> sizes;
    for (const Row& row : list()) {
        const std::string cls = class_of(row);
        EXPECT_EQ(row.cls, cls) << "line " << row.line;
        ++sizes[cls];
    }
    const std::map<std::string, int> expected = {
        {"hiragana", 84},
        {"katakana", 84},
        {"kanji-1", 1264},
        {"kanji-2", 10},
        {"fullwidth-ascii", 84},
        {"halfwidth-katakana", 62},
        {"cjk-punctuation", 19},
        {"box-drawing", 19},
        {"mathematical", 16},
        {"greek", 13},
        {"general-punctuation", 11},
        {"geometric-shapes", 11},
        {"arrows", 5},
        {"cyrillic", 2},
        {"named-symbol", 7},
    };
    EXPECT_EQ(sizes, expected);
}

TEST(WeightList, ClassesWithFixedMembers) {
    struct Case {
        const char* cls;
        std::set<std::uint32_t> members;
    };
    const Case cases[] = {
        {"hiragana", merged(code_range(0x3041, 0x3093, U"ゎゐゑ"), code_range(0x309B, 0x309E))},
        {"katakana", merged(code_range(0x30A1, 0x30F6, U"ヂヅヮヰヱヵ"), code_range(0x30FB, 0x30FE))},
        {"fullwidth-ascii", code_range(0xFF01, 0xFF5E, U"＂＄＇ｂｊｑｘｚ｛｝")},
        {"halfwidth-katakana", code_range(0xFF61, 0xFF9F, U"\uFF95")},
        {"named-symbol", {0x2312, 0x2605, 0x2606, 0x266A, 0xFFE2, 0xFFE3, 0xFFE5}},
    };
    for (const Case& c : cases) {
        std::set<std::uint32_t> got;
        for (const Row& row : list()) {
            if (row.cls == c.cls) {
                got.insert(row.code_point);
            }
        }
        EXPECT_EQ(got, c.members) << c.cls;
    }
}

TEST(WeightList, FixedRows) {
    const std::map<std::uint32_t, std::uint32_t> weights = weight_by_code_point();
    struct Case {
        std::uint32_t code_point;
        std::uint32_t weight;
    };
    const Case cases[] = {
        {0x3000, 395578}, {0x306E, 150324}, {0x30FC, 122124}, {0x3044, 109859}, {0x3057, 102815}, {0x3002, 91442},
        {0x3067, 90858},  {0x3001, 84908},  {0x3059, 84100},  {0x306B, 83196},  {0x3066, 82905},  {0x306A, 77586},
        {0x308B, 75826},  {0x3068, 70988},  {0x30F3, 66550},  {0x307E, 65673},  {0x305F, 65549},  {0x306F, 63876},
        {0xFF1A, 62256},  {0x3092, 62032},  {0x540D, 35408},  {0x65E5, 29567},  {0x7121, 22725},  {0x524D, 19063},
        {0xFF9E, 8524},   {0x2501, 36184},  {0x3042, 27572},  {0xFF64, 3752},   {0xFF62, 276},    {0x718A, 100},
    };
    for (const Case& c : cases) {
        const auto found = weights.find(c.code_point);
        ASSERT_NE(found, weights.end()) << "U+" << std::hex << c.code_point;
        EXPECT_EQ(found->second, c.weight) << "U+" << std::hex << c.code_point;
    }
}

TEST(WeightList, HeaviestRowsInOrder) {
    const std::vector<std::uint32_t> top20 = {0x3000, 0x306E, 0x30FC, 0x3044, 0x3057, 0x3002, 0x3067,
                                              0x3001, 0x3059, 0x306B, 0x3066, 0x306A, 0x308B, 0x3068,
                                              0x30F3, 0x307E, 0x305F, 0x306F, 0xFF1A, 0x3092};
    const std::vector<Row>& rows = list();
    ASSERT_GE(rows.size(), top20.size());
    for (std::size_t k = 0; k < top20.size(); ++k) {
        EXPECT_EQ(rows[k].code_point, top20[k]) << "rank " << k + 1;
    }
    // The heaviest of a class, then every other member of it strictly below.
    struct Case {
        const char* cls;
        std::set<std::uint32_t> heaviest;
        std::uint32_t bound;
    };
    const Case cases[] = {
        {"", std::set<std::uint32_t>(top20.begin(), top20.end()), 62032},
        {"kanji", {0x540D, 0x65E5, 0x7121, 0x524D}, 19063},
        {"halfwidth-katakana", {0xFF9E}, 8524},
        {"box-drawing", {0x2501}, 36184},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cls);
        for (const Row& row : rows) {
            if (row.cls.rfind(c.cls, 0) != 0 || c.heaviest.count(row.code_point) != 0) {
                continue;
            }
            EXPECT_LT(row.weight, c.bound) << "line " << row.line;
        }
    }
    // The four heaviest kanji in order.
    std::vector<std::uint32_t> kanji;
    for (const Row& row : rows) {
        if (row.cls.rfind("kanji", 0) == 0 && kanji.size() < 4) {
            kanji.push_back(row.code_point);
        }
    }
    EXPECT_EQ(kanji, (std::vector<std::uint32_t>{0x540D, 0x65E5, 0x7121, 0x524D}));
}

// --- the tables ---

struct TableCase {
    const char* name;
    const CodeTable& table;
    std::uint32_t (*key)(const Row&);
};

const TableCase TABLES[] = {
    {"sjis_weights", sjis_weights, [](const Row& row) { return row.sjis; }},
    {"euc_weights", euc_weights, [](const Row& row) { return euc_of_sjis(row.sjis); }},
    {"ucs_weights", ucs_weights, [](const Row& row) { return row.code_point; }},
};

TEST(WeightTables, HoldEveryListedCharacterAtItsKey) {
    ASSERT_EQ(list().size(), LIST_SIZE);
    for (const TableCase& t : TABLES) {
        SCOPED_TRACE(t.name);
        for (const Row& row : list()) {
            EXPECT_EQ(lookup(t.table, t.key(row)), row.weight)
                << std::hex << "key " << t.key(row) << " (U+" << row.code_point << "), list line " << std::dec
                << row.line;
        }
    }
}

TEST(WeightTables, HoldNothingElse) {
    for (const TableCase& t : TABLES) {
        SCOPED_TRACE(t.name);
        std::uint64_t total = 0;
        std::size_t entries = 0;
        for (std::uint32_t code = 0; code <= 0xFFFF; ++code) {
            const std::uint32_t weight = lookup(t.table, code);
            total += weight;
            entries += weight != 0 ? 1 : 0;
        }
        EXPECT_EQ(total, TOTAL);
        EXPECT_EQ(entries, LIST_SIZE);
        for (std::uint32_t code : {0x10000u, 0x13000u, 0x182A0u, 0x1A4A2u, 0xFFFFFFFFu}) {
            EXPECT_EQ(lookup(t.table, code), 0u) << std::hex << code;
        }
    }
}

TEST(WeightTables, KnownKeys) {
    struct Case {
        const char* what;
        const CodeTable& table;
        std::uint32_t code;
        std::uint32_t weight;
    };
    const Case cases[] = {
        {"あ", sjis_weights, 0x82A0, 27572},
        {"あ", euc_weights, 0xA4A2, 27572},
        {"あ", ucs_weights, 0x3042, 27572},
        {"ideographic space", sjis_weights, 0x8140, 395578},
        {"ideographic space", euc_weights, 0xA1A1, 395578},
        {"､ as one byte", sjis_weights, 0xA4, 3752},
        {"､ behind 8E", euc_weights, 0x8EA4, 3752},
        {"､", ucs_weights, 0xFF64, 3752},
        {"｢", sjis_weights, 0xA2, 276},
        {"ﾞ", euc_weights, 0x8EDE, 8524},
        {"━", sjis_weights, 0x84AA, 36184},
        {"━", euc_weights, 0xA8AC, 36184},
        {"熊", sjis_weights, 0x8C46, 100},
        {"熊", euc_weights, 0xB7A7, 100},
        // Keyed by the code point the mapping file gives the Shift_JIS code.
        {"WAVE DASH, not the one 8160 maps to", ucs_weights, 0x301C, 0},
        {"EM DASH, not the one 815C maps to", ucs_weights, 0x2014, 0},
        {"MINUS SIGN, not the one 817C maps to", ucs_weights, 0x2212, 0},
        // ASCII and half-width bytes outside the list weigh nothing.
        {"A", sjis_weights, 0x41, 0},
        {"A", ucs_weights, 0x41, 0},
        {"U+FF95 is not listed", sjis_weights, 0xD5, 0},
        {"U+FF95 is not listed", euc_weights, 0x8ED5, 0},
        {"U+FF95 is not listed", ucs_weights, 0xFF95, 0},
        {"A4 alone is no EUC-JP code", euc_weights, 0xA4, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lookup(c.table, c.code), c.weight) << c.what << std::hex << " at " << c.code;
    }
    // The same character, looked up in all three codes, weighs the same.
    EXPECT_NE(lookup(ucs_weights, 0xFF5E), 0u);
    EXPECT_EQ(lookup(sjis_weights, 0x8160), lookup(ucs_weights, 0xFF5E));
    EXPECT_EQ(lookup(euc_weights, 0xA1C1), lookup(ucs_weights, 0xFF5E));
}

// --- the list against the mapping file ---

TEST(WeightList, CodesAreTheMappingFiles) {
    const auto file = reference::read_cp932_mapping();
    if (!file) {
        GTEST_SKIP() << "the code page 932 mapping file is not at " << reference::cp932_mapping_path();
    }
    const std::map<std::uint32_t, std::uint32_t>& unicode_of = file->unicode_of;
    ASSERT_FALSE(unicode_of.empty());
    for (const Row& row : list()) {
        const auto found = unicode_of.find(row.sjis);
        ASSERT_NE(found, unicode_of.end()) << "line " << row.line;
        EXPECT_EQ(found->second, row.code_point) << "line " << row.line;
        // Only JIS X 0208 (lead 81-84, 88-EA) and the half-width bytes.
        const std::uint32_t lead = row.sjis >> 8;
        EXPECT_TRUE(row.sjis <= 0xFF || (lead >= 0x81 && lead <= 0x84) || (lead >= 0x88 && lead <= 0xEA))
            << "line " << row.line;
    }
}

}  // namespace
}  // namespace postori
