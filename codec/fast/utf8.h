// SPDX-License-Identifier: GPL-3.0-or-later
// The fast kernels of UTF-8 to UTF-16, and of UTF-8 straight on to Shift_JIS:
// runs of ASCII, and runs of three-byte sequences (kana, kanji and the
// full-width forms) told by their first bytes alone, whose following bytes are
// taken whatever they are, as the rules take them. Every other sequence (two,
// four, five and six bytes, bytes that cannot begin one) is left to the rules,
// and so, on the way to Shift_JIS, is every unit without a code.
//
// A step reads 18 bytes ahead and keeps at most 10 output units. With SSE2 it
// takes five three-byte characters at once (five units, or ten Shift_JIS
// bytes when all five have two-byte codes), else a window of 16 bytes holding
// only ASCII and whole three-byte sequences, five characters from it. The
// portable form takes up to four three-byte characters from two 64-bit words.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "codec/fast/kernel.h"
#include "codec/fast/utf16_to_sjis.h"
#include "codec/fast/words.h"
#include "codec/sjis_tables.h"

#if POSTORI_FAST_SSE2
#include <emmintrin.h>
#endif

namespace postori::fast {

namespace utf8_detail {

// Bytes a step reads from its start, and the most units it keeps.
inline constexpr std::size_t READ_AHEAD = 18;
inline constexpr std::size_t KEEP_MAX = 10;

// Where a kernel writes: the UTF-16 units of the characters, or for each of
// those units its Shift_JIS bytes.
struct ToUtf16 {
    using Unit = char16_t;

    static bool put_unit(char16_t* out, std::size_t& written, std::uint32_t unit) {
        out[written++] = static_cast<char16_t>(unit);
        return true;
    }
    // Eight bytes, of which the caller keeps the leading ASCII ones.
    static void put_ascii(char16_t* out, std::uint64_t word) {
        for (int k = 0; k < 8; ++k) {
            out[k] = static_cast<char16_t>((word >> (8 * k)) & 0xFF);
        }
    }
    // Four characters of three bytes; returns how many of them are kept.
    static std::size_t put_four(char16_t* out, const std::uint32_t (&unit)[4]) {
        for (int k = 0; k < 4; ++k) {
            out[k] = static_cast<char16_t>(unit[k]);
        }
        return 4;
    }
#if POSTORI_FAST_SSE2
    // Five characters of three bytes; always kept.
    static bool put_five(char16_t* out, std::size_t& written, const std::uint32_t (&unit)[5]) {
        for (std::size_t k = 0; k < 5; ++k) {
            out[written + k] = static_cast<char16_t>(unit[k]);
        }
        written += 5;
        return true;
    }
#endif
};

struct ToSjis {
    using Unit = char;

    // False, writing nothing, for a unit without a code.
    static bool put_unit(char* out, std::size_t& written, std::uint32_t unit) {
        return put_sjis_of_unit(out, written, unit);
    }
    static void put_ascii(char* out, std::uint64_t word) { store8(out, word); }
    // Four characters of three bytes: writes eight bytes and returns how many
    // characters from the first on have two-byte codes (the common case).
    static std::size_t put_four(char* out, const std::uint32_t (&unit)[4]) {
        std::uint64_t bytes = 0;
        unsigned not_two = 0x10;
        for (int k = 0; k < 4; ++k) {
            const std::uint64_t code = sjis_bytes_of_unit[unit[k]];
            bytes |= code << (16 * k);
            not_two |= static_cast<unsigned>(code <= 0xFF) << k;
        }
        store8(out, bytes);
        return static_cast<std::size_t>(std::countr_zero(not_two));
    }
#if POSTORI_FAST_SSE2
    // Five characters of three bytes, when all five have two-byte codes: the
    // five sjis_bytes_of_unit values are gathered into one register and stored
    // at once (sixteen bytes written, ten kept), rather than each store waiting
    // for the length the one before leaves. A value is two bytes when its high
    // byte (the trail) is not 0. Otherwise nothing is kept and false returned.
    static bool put_five(char* out, std::size_t& written, const std::uint32_t (&unit)[5]) {
        __m128i bytes = _mm_cvtsi32_si128(sjis_bytes_of_unit[unit[0]]);
        bytes = _mm_insert_epi16(bytes, sjis_bytes_of_unit[unit[1]], 1);
        bytes = _mm_insert_epi16(bytes, sjis_bytes_of_unit[unit[2]], 2);
        bytes = _mm_insert_epi16(bytes, sjis_bytes_of_unit[unit[3]], 3);
        bytes = _mm_insert_epi16(bytes, sjis_bytes_of_unit[unit[4]], 4);
        const __m128i trails = _mm_srli_epi16(bytes, 8);
        if ((_mm_movemask_epi8(_mm_cmpeq_epi16(trails, _mm_setzero_si128())) & 0x3FF) != 0) {
            return false;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + written), bytes);
        written += 10;
        return true;
    }
#endif
};

#if POSTORI_FAST_SSE2
inline __m128i load16(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// In 16-bit lanes: ((first & 0F) << 12) | ((second & 3F) << 6) | (third & 3F),
// the character of a three-byte sequence from its three bytes.
inline __m128i three_byte_lanes(__m128i first, __m128i second, __m128i third) {
    const __m128i low4 = _mm_set1_epi16(0x0F);
    const __m128i low6 = _mm_set1_epi16(0x3F);
    return _mm_or_si128(
        _mm_or_si128(_mm_slli_epi16(_mm_and_si128(first, low4), 12), _mm_slli_epi16(_mm_and_si128(second, low6), 6)),
        _mm_and_si128(third, low6));
}

// When three-byte sequences start at 0, 3, 6, 9 and 12 of the 16 bytes at p
// (E0-EF there; 18 bytes are read), their characters and true; else false.
inline bool five_three_byte(const unsigned char* p, std::uint32_t (&unit)[5]) {
    const __m128i b0 = load16(p);
    const __m128i is_lead = _mm_cmpeq_epi8(_mm_and_si128(b0, _mm_set1_epi8(static_cast<char>(0xF0))),
                                           _mm_set1_epi8(static_cast<char>(0xE0)));
    if ((_mm_movemask_epi8(is_lead) & 0x1249) != 0x1249) {
        return false;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i b1 = load16(p + 1);
    const __m128i b2 = load16(p + 2);
    const __m128i low =
        three_byte_lanes(_mm_unpacklo_epi8(b0, zero), _mm_unpacklo_epi8(b1, zero), _mm_unpacklo_epi8(b2, zero));
    const __m128i high =
        three_byte_lanes(_mm_unpackhi_epi8(b0, zero), _mm_unpackhi_epi8(b1, zero), _mm_unpackhi_epi8(b2, zero));
    unit[0] = static_cast<std::uint32_t>(_mm_extract_epi16(low, 0));
    unit[1] = static_cast<std::uint32_t>(_mm_extract_epi16(low, 3));
    unit[2] = static_cast<std::uint32_t>(_mm_extract_epi16(low, 6));
    unit[3] = static_cast<std::uint32_t>(_mm_extract_epi16(high, 1));
    unit[4] = static_cast<std::uint32_t>(_mm_extract_epi16(high, 4));
    return true;
}

// The 16 bytes at p (18 are read) as a window of characters: which bytes are
// ASCII, first bytes of three-byte sequences (E0-EF) and following bytes
// (80-BF), one bit per byte, and at every position the character that starts
// there if it is ASCII or a three-byte sequence.
struct Window {
    unsigned ascii;
    unsigned lead3;
    unsigned cont;
    alignas(16) std::uint16_t value[16];

    // Whether the 16 bytes hold only ASCII and three-byte sequences whose
    // following bytes are all there (those of one starting at 14 or 15 may
    // lie beyond): then every character starting in them is one the rules
    // decode as the window does, and there are at least five.
    bool ascii_and_three_byte_only() const {
        const unsigned starts = ascii | lead3;
        const unsigned follow = ((lead3 << 1) | (lead3 << 2)) & 0xFFFF;
        return (starts | cont) == 0xFFFF && cont == follow;
    }
};

inline void read_window(const unsigned char* p, Window& window) {
    const auto mask = [](__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); };
    const auto bytes_of = [](int byte) { return _mm_set1_epi8(static_cast<char>(byte)); };
    const __m128i b0 = load16(p);
    const __m128i b1 = load16(p + 1);
    const __m128i b2 = load16(p + 2);
    window.ascii = ~mask(b0) & 0xFFFF;
    window.lead3 = mask(_mm_cmpeq_epi8(_mm_and_si128(b0, bytes_of(0xF0)), bytes_of(0xE0)));
    window.cont = mask(_mm_cmpeq_epi8(_mm_and_si128(b0, bytes_of(0xC0)), bytes_of(0x80)));

    // In 16-bit lanes: the three-byte value where b0 is E0-EF, else b0 itself.
    const __m128i zero = _mm_setzero_si128();
    const __m128i e0 = _mm_set1_epi16(0xE0);
    const __m128i f0 = _mm_set1_epi16(0xF0);
    const auto values = [&](__m128i first, __m128i second, __m128i third) {
        const __m128i three = three_byte_lanes(first, second, third);
        const __m128i is_three = _mm_cmpeq_epi16(_mm_and_si128(first, f0), e0);
        return _mm_or_si128(_mm_and_si128(is_three, three), _mm_andnot_si128(is_three, first));
    };
    _mm_store_si128(reinterpret_cast<__m128i*>(window.value),
                    values(_mm_unpacklo_epi8(b0, zero), _mm_unpacklo_epi8(b1, zero), _mm_unpacklo_epi8(b2, zero)));
    _mm_store_si128(reinterpret_cast<__m128i*>(window.value + 8),
                    values(_mm_unpackhi_epi8(b0, zero), _mm_unpackhi_epi8(b1, zero), _mm_unpackhi_epi8(b2, zero)));
}
#else
// The character of a three-byte sequence in the low 24 bits of `word`.
inline std::uint32_t three_byte_value(std::uint64_t word) {
    return static_cast<std::uint32_t>(((word & 0x0F) << 12) | ((word >> 2) & 0x0FC0) | ((word >> 16) & 0x3F));
}
#endif

// One step over src[0, READ_AHEAD): the characters it converts are written at
// out[written] and counted in `written`; returns the bytes they took, 0 when
// it takes nothing.
template <typename Target>
inline std::size_t step(const unsigned char* src, typename Target::Unit* out, std::size_t& written) {
    const std::uint64_t word = load8(src);
    if ((word & 0x80) == 0) {
        // Up to eight ASCII bytes: eight units written, those of the ASCII
        // bytes kept.
        Target::put_ascii(out + written, word);
        const std::size_t count = ascii_prefix(word);
        written += count;
        return count;
    }
#if POSTORI_FAST_SSE2
    std::uint32_t unit[5];
    if (five_three_byte(src, unit) && Target::put_five(out, written, unit)) {
        return 15;
    }
    Window window;
    read_window(src, window);
    if (!window.ascii_and_three_byte_only()) {
        return 0;
    }
    unsigned rest = window.ascii | window.lead3;
    unsigned at = 0;
    for (int k = 0; k < 5; ++k) {
        at = static_cast<unsigned>(std::countr_zero(rest));
        rest &= rest - 1;
        if (!Target::put_unit(out, written, window.value[at])) {
            return at;  // a unit without a code: the rules take it from here
        }
    }
    return at + 1 + 2 * ((window.lead3 >> at) & 1);
#else
    // Up to four three-byte sequences, at 0, 3, 6 and 9; 3 and 9 count only
    // while those before them are three-byte too.
    constexpr std::uint64_t LEADS = 0xF00000F0u;  // bytes 0 and 3
    constexpr std::uint64_t E0 = 0xE00000E0u;
    if ((word & LEADS) != E0) {
        return 0;
    }
    const std::uint64_t next = load8(src + 6);
    const std::uint32_t unit[4] = {three_byte_value(word), three_byte_value(word >> 24), three_byte_value(next),
                                   three_byte_value(next >> 24)};
    const unsigned not_three = 0x10 | (static_cast<unsigned>((next & 0xF0) != 0xE0) << 2) |
                               (static_cast<unsigned>((next & 0xF0000000u) != 0xE0000000u) << 3);
    const std::size_t count =
        std::min(Target::put_four(out + written, unit), static_cast<std::size_t>(std::countr_zero(not_three)));
    written += count * (sizeof(typename Target::Unit) == 1 ? 2 : 1);
    return 3 * count;
#endif
}

template <typename Target>
inline Progress run(const unsigned char* src, std::size_t size, typename Target::Unit* out, std::size_t room) {
    std::size_t read = 0;
    std::size_t written = 0;
    while (size - read >= READ_AHEAD && room - written >= KEEP_MAX) {
        const std::size_t taken = step<Target>(src + read, out, written);
        if (taken == 0) {
            break;
        }
        read += taken;
    }
    return {read, written};
}

}  // namespace utf8_detail

inline Progress utf8_to_utf16(const unsigned char* src, std::size_t size, char16_t* out, std::size_t room) {
    return utf8_detail::run<utf8_detail::ToUtf16>(src, size, out, room);
}

inline Progress utf8_to_sjis(const unsigned char* src, std::size_t size, char* out, std::size_t room) {
    return utf8_detail::run<utf8_detail::ToSjis>(src, size, out, room);
}

}  // namespace postori::fast
