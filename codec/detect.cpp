// SPDX-License-Identifier: GPL-3.0-or-later
#include "codec/detect.h"

#include <algorithm>
#include <limits>

#include "codec/byte_classes.h"
#include "codec/code_table.h"
#include "codec/weight_tables.h"

namespace postori {
namespace {

using namespace std::string_view_literals;

// Byte-order marks, tested in this order (the UTF-32 little-endian mark
// before the UTF-16 one, its prefix).
struct Mark {
    std::string_view bytes;
    CodeKind kind;
};
constexpr Mark MARKS[] = {
    {"\x00\x00\xFE\xFF"sv, CodeKind::Utf32Be}, {"\xFF\xFE\x00\x00"sv, CodeKind::Utf32Le},
    {"\xEF\xBB\xBF"sv, CodeKind::Utf8},        {"\xFE\xFF"sv, CodeKind::Utf16Be},
    {"\xFF\xFE"sv, CodeKind::Utf16Le},
};

constexpr std::string_view NUL_PAIR = "\x00\x00"sv;

// JIS X 0208 (ESC $ B), JIS X 0201 katakana (ESC ( I) and JIS X 0212
// (ESC $ ( D) designations. ESC ( B and ESC ( J appear in plain 7-bit text
// too and decide nothing.
constexpr std::string_view JIS_ESCAPES[] = {"\x1B$B"sv, "\x1B(I"sv, "\x1B$(D"sv};

constexpr char SHIFT_IN = '\x0F';
constexpr char LF = '\n';
constexpr char CR = '\r';

constexpr std::string_view UTF8_NAME = "UTF-8";
constexpr std::string_view SJIS_NAMES[] = {"Shift_JIS", "shift_jis", "sjis", "Shift-JIS", "shift-jis", "SJIS"};
constexpr std::string_view EUC_NAMES[] = {"EUC", "euc"};

constexpr std::int32_t saturate(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// The first position of any of `names` in `text`, or npos.
template <std::size_t N>
std::size_t first_of(std::string_view text, const std::string_view (&names)[N]) {
    std::size_t first = std::string_view::npos;
    for (std::string_view name : names) {
        first = std::min(first, text.find(name));
    }
    return first;
}

// Which code the text names first, for texts whose scores tell nothing (a
// web page's charset declaration, say). A text that names none counts as
// Shift_JIS.
CodeKind kind_by_name(std::string_view text) {
    constexpr std::size_t none = std::string_view::npos;
    const std::size_t utf8 = text.find(UTF8_NAME);
    const std::size_t sjis = first_of(text, SJIS_NAMES);
    const std::size_t euc = first_of(text, EUC_NAMES);
    if (utf8 != none && utf8 < sjis && utf8 < euc) {
        return CodeKind::Utf8;
    }
    if (sjis != none && sjis < euc) {
        return CodeKind::ShiftJis;
    }
    return euc == none ? CodeKind::ShiftJis : CodeKind::EucJp;
}

// When all three scores are equal: line breaks first (CR LF or LF CR, or a
// lone CR, point to Shift_JIS; a bare LF to EUC-JP), then the names.
CodeKind kind_by_fallback(std::string_view text) {
    if (text.find(LF) != std::string_view::npos) {
        const bool paired =
            text.find("\r\n"sv) != std::string_view::npos || text.find("\n\r"sv) != std::string_view::npos;
        return paired ? CodeKind::ShiftJis : CodeKind::EucJp;
    }
    if (text.find(CR) != std::string_view::npos) {
        return CodeKind::ShiftJis;
    }
    return kind_by_name(text);
}

constexpr DetectResult sure_of(CodeKind kind) {
    return {kind, kind};
}

constexpr DetectResult guess_only(CodeKind kind) {
    return {kind, CodeKind::Unknown};
}

}  // namespace

constinit const std::array<bool, 256> special_bytes = [] {
    std::array<bool, 256> table{};
    table[0x00] = true;
    table[0x0F] = true;
    table[0x1B] = true;
    for (std::size_t b = 0x80; b <= 0xFF; ++b) {
        table[b] = true;
    }
    return table;
}();

void CodeScorer::reset() {
    *this = CodeScorer{};
}

void CodeScorer::fail() {
    errors = saturate(std::int64_t{errors} + 1);
    state = 0;
}

std::int32_t CodeScorer::net_score() const {
    return saturate(std::int64_t{score} - std::int64_t{errors} * ERROR_PENALTY);
}

namespace {

void add_weight(std::int32_t& score, std::uint32_t weight) {
    score = saturate(std::int64_t{score} + weight);
}

}  // namespace

void CodeScorer::feed_sjis(std::int32_t byte) {
    const auto b = static_cast<std::uint8_t>(byte);
    if (b == 0 || b >= 0xFD) {
        fail();
        return;
    }
    if (state == 0) {
        code = b;
        if (sjis_lead[b] != 0) {
            state = 1;
        } else {
            // One-byte characters: only half-width katakana weigh anything.
            add_weight(score, lookup(sjis_weights, b));
        }
    } else if (state == 1) {
        if (sjis_trail[b] == 0) {
            fail();
            return;
        }
        code = code * 256 + b;
        add_weight(score, lookup(sjis_weights, static_cast<std::uint32_t>(code)));
        state = 0;
    }
}

void CodeScorer::feed_euc(std::int32_t byte) {
    const auto b = static_cast<std::uint8_t>(byte);
    if (b == 0) {
        fail();
        return;
    }
    if (state == 0) {
        code = b;
        if (euc_lead[b] != 0) {
            state = 1;
        } else if (b == 0x8F) {
            state = -2;  // a JIS X 0212 character: two more bytes, not weighed
        }
    } else if (state == 1) {
        if (b < 0x80) {
            fail();
            return;
        }
        code = code * 256 + b;
        add_weight(score, lookup(euc_weights, static_cast<std::uint32_t>(code)));
        state = 0;
    } else if (state < 0) {
        state += 1;
    }
}

void CodeScorer::feed_utf8(std::int32_t byte) {
    const auto b = static_cast<std::uint8_t>(byte);
    if (b == 0) {
        fail();
        return;
    }
    if (state == 0) {
        const std::int32_t length = utf8_length[b];
        if (length == 0) {
            fail();
            return;
        }
        code = b & utf8_lead_mask[static_cast<std::size_t>(length)];
        state = 1 - length;
    } else if (state < 0) {
        if ((b & 0xC0) != 0x80) {
            fail();
            return;
        }
        // At most 31 bits for the longest (six-byte) form: no overflow.
        code = static_cast<std::int32_t>((static_cast<std::uint32_t>(code) << 6) | (b & 0x3Fu));
        state += 1;
        if (state == 0) {
            add_weight(score, lookup(ucs_weights, static_cast<std::uint32_t>(code)));
        }
    }
}

DetectResult detect_code(std::string_view text, std::uint32_t limit) {
    const std::string_view analysed = text.substr(0, std::min<std::size_t>(text.size(), limit));
    const std::size_t n = analysed.size();
    if (n == 0) {
        return guess_only(CodeKind::Empty);
    }

    for (const Mark& mark : MARKS) {
        if (analysed.starts_with(mark.bytes)) {
            return sure_of(mark.kind);
        }
    }

    // A pair of NUL bytes: UTF-32 when it falls on a code unit's high half.
    const std::size_t nul_pair = analysed.find(NUL_PAIR);
    if (nul_pair != std::string_view::npos) {
        if (nul_pair % 4 == 0) {
            return guess_only(CodeKind::Utf32Be);
        }
        if (nul_pair % 4 == 2) {
            return guess_only(CodeKind::Utf32Le);
        }
    }

    for (std::string_view escape : JIS_ESCAPES) {
        if (analysed.find(escape) != std::string_view::npos) {
            return sure_of(CodeKind::Jis);
        }
    }

    const auto first_special = std::find_if(analysed.begin(), analysed.end(),
                                            [](char c) { return special_bytes[static_cast<std::uint8_t>(c)]; });
    if (first_special == analysed.end()) {
        return sure_of(CodeKind::Ascii);
    }
    const std::size_t start = static_cast<std::size_t>(first_special - analysed.begin()) & ~std::size_t{3};
    const std::size_t end = std::min<std::size_t>(n, start + SCAN_WINDOW);

    CodeScorer sjis;
    CodeScorer euc;
    CodeScorer utf8;
    std::size_t high = 0;
    std::size_t nul_even = 0;
    std::size_t nul_odd = 0;
    for (std::size_t j = start; j < end; ++j) {
        const auto b = static_cast<std::uint8_t>(analysed[j]);
        sjis.feed_sjis(b);
        euc.feed_euc(b);
        utf8.feed_utf8(b);
        if (b >= 0x80) {
            ++high;
        } else if (b == 0) {
            ++(j % 2 == 0 ? nul_even : nul_odd);
        }
    }

    if (nul_even + nul_odd > 0) {
        return guess_only(nul_even < nul_odd ? CodeKind::Utf16Le : CodeKind::Utf16Be);
    }
    if (high == 0) {
        return sure_of(analysed.find(SHIFT_IN) != std::string_view::npos ? CodeKind::Jis : CodeKind::Ascii);
    }

    const std::int32_t s = sjis.net_score();
    const std::int32_t e = euc.net_score();
    const std::int32_t u = utf8.net_score();
    if (s == e && e == u) {
        return sure_of(kind_by_fallback(analysed));
    }

    // Equal scores go to EUC-JP over Shift_JIS; UTF-8 needs a strictly
    // higher score than the better of the two.
    CodeKind winner;
    const CodeScorer* scorer;
    if (e >= s) {
        winner = u > e ? CodeKind::Utf8 : CodeKind::EucJp;
    } else {
        winner = u > s ? CodeKind::Utf8 : CodeKind::ShiftJis;
    }
    scorer = winner == CodeKind::Utf8 ? &utf8 : winner == CodeKind::EucJp ? &euc : &sjis;

    // Too many forbidden sequences for the length of the text: not sure.
    const bool weak = std::uint64_t{static_cast<std::uint32_t>(scorer->errors)} * 100 >= n;
    return {winner, weak ? CodeKind::Unknown : winner};
}

}  // namespace postori
