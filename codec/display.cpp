// SPDX-License-Identifier: GPL-3.0-or-later
// Shift_JIS (code page 932) to UTF-16 and UTF-8, for display only.
//
// Malformed input is decoded so that one bad byte never hides good text:
//   - a lead byte (81-9F, E0-FC) followed by a valid trail byte (40-7E,
//     80-FC) is one character: the pair becomes its mapped character, or
//     U+FFFD when the code is undefined;
//   - a lead byte at the end of the text, or followed by a byte that cannot
//     be a trail byte, becomes U+FFFD on its own, and the next byte is
//     decoded afresh (so ASCII and line ends after a broken lead survive);
//   - the single bytes 80, A0 and FD-FF become U+FFFD.
// Every result lies in the BMP and is never a surrogate, so one input byte
// gives at most one UTF-16 unit or three UTF-8 bytes.
#include "codec/display.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "codec/byte_classes.h"
#include "codec/sjis_tables.h"

namespace postori {

namespace {

constexpr char16_t REPLACEMENT_CHARACTER = 0xFFFD;

// The user-defined area: lead bytes F0-F9, 188 codes each, in order from
// U+E000.
constexpr unsigned USER_LEAD_FIRST = 0xF0;
constexpr unsigned USER_LEAD_LAST = 0xF9;
constexpr unsigned TRAILS_PER_LEAD = 188;
constexpr char32_t USER_AREA_FIRST = 0xE000;

// The character of the pair lead, trail (both already known valid).
char16_t decode_pair(unsigned lead, unsigned trail) noexcept {
    if (lead >= USER_LEAD_FIRST && lead <= USER_LEAD_LAST) {
        // Trail bytes 40-7E and 80-FC, with the gap at 7F closed up.
        const unsigned column = trail - 0x40 - (trail >= 0x80 ? 1U : 0U);
        return static_cast<char16_t>(USER_AREA_FIRST + (lead - USER_LEAD_FIRST) * TRAILS_PER_LEAD + column);
    }
    const std::uint32_t value = lookup(sjis_to_unicode_table, (lead << 8) | trail);
    // The table holds only BMP characters; anything else is treated as
    // undefined so that no output can carry a surrogate or a truncated value.
    if (value == 0 || value > 0xFFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return REPLACEMENT_CHARACTER;
    }
    return static_cast<char16_t>(value);
}

// Decodes the character at `in` (in < end) and returns it; advances `in`
// past the bytes it used.
char16_t decode_next(const unsigned char*& in, const unsigned char* end) noexcept {
    const unsigned b1 = *in++;
    if (b1 < 0x80) {
        return static_cast<char16_t>(b1);
    }
    if (b1 >= 0xA1 && b1 <= 0xDF) {
        return static_cast<char16_t>(0xFF61 + (b1 - 0xA1));
    }
    if (sjis_lead[b1] != 0 && in != end && sjis_trail[*in] != 0) {
        const unsigned b2 = *in++;
        return decode_pair(b1, b2);
    }
    return REPLACEMENT_CHARACTER;
}

// Writes the UTF-8 form of the BMP non-surrogate character c at `out` and
// returns the position after it.
char* put_utf8(char* out, char16_t c) noexcept {
    const unsigned v = c;
    if (v < 0x80) {
        *out++ = static_cast<char>(v);
    } else if (v < 0x800) {
        *out++ = static_cast<char>(0xC0 | (v >> 6));
        *out++ = static_cast<char>(0x80 | (v & 0x3F));
    } else {
        *out++ = static_cast<char>(0xE0 | (v >> 12));
        *out++ = static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (v & 0x3F));
    }
    return out;
}

const unsigned char* bytes_of(std::string_view text) noexcept {
    return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

std::u16string sjis_to_utf16(std::string_view sjis) {
    // One unit at most per input byte: size once, write in place, trim.
    std::u16string result(sjis.size(), u'\0');
    const unsigned char* in = bytes_of(sjis);
    const unsigned char* const end = in + sjis.size();
    char16_t* out = result.data();
    while (in != end) {
        *out++ = decode_next(in, end);
    }
    result.resize(static_cast<std::size_t>(out - result.data()));
    return result;
}

std::string sjis_to_utf8(std::string_view sjis) {
    // Up to three bytes per input byte, but Japanese text takes about 1.5;
    // decode through a stack buffer and append it in blocks so that the
    // result is neither grown per character nor sized for the worst case.
    constexpr std::size_t BLOCK = 4096;
    std::array<char, BLOCK + 3> block;
    std::string result;
    result.reserve(sjis.size() + sjis.size() / 2);
    const unsigned char* in = bytes_of(sjis);
    const unsigned char* const end = in + sjis.size();
    char* out = block.data();
    char* const limit = block.data() + BLOCK;
    while (in != end) {
        out = put_utf8(out, decode_next(in, end));
        if (out >= limit) {
            result.append(block.data(), out);
            out = block.data();
        }
    }
    result.append(block.data(), out);
    return result;
}

}  // namespace postori
