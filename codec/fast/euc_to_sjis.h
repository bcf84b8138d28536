// SPDX-License-Identifier: GPL-3.0-or-later
// The fast kernel of EUC-JP to Shift_JIS: eight bytes at a time, runs of
// ASCII copied and runs of pairs that go by the JIS arithmetic alone
// converted by table. Everything else (half-width katakana after 8E, the
// three-byte 8F codes, the table rows F9-FC, a lead byte before ASCII, the
// bytes that are neither) is left to the rules.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "codec/fast/kernel.h"
#include "codec/fast/words.h"
#include "codec/jis_arithmetic.h"

namespace postori::fast {

namespace euc_detail {

// sjis_by_arithmetic as two byte tables: the first Shift_JIS byte by the first
// EUC-JP byte, the second by the first byte's parity (x 256) and the second
// EUC-JP byte (0x80 or more), which is all it depends on.
inline constexpr std::array<std::uint8_t, 256> FIRST = [] {
    std::array<std::uint8_t, 256> table{};
    for (std::uint32_t b1 = 0; b1 < 256; ++b1) {
        table[b1] = static_cast<std::uint8_t>(sjis_by_arithmetic(b1, 0xA1) >> 8);
    }
    return table;
}();

inline constexpr std::array<std::uint8_t, 512> SECOND = [] {
    std::array<std::uint8_t, 512> table{};
    for (std::uint32_t b2 = 0x80; b2 < 256; ++b2) {
        table[b2] = static_cast<std::uint8_t>(sjis_by_arithmetic(0xA2, b2) & 0xFF);
        table[256 + b2] = static_cast<std::uint8_t>(sjis_by_arithmetic(0xA1, b2) & 0xFF);
    }
    return table;
}();

// The two Shift_JIS bytes of a pair by the arithmetic, the first lowest.
inline std::uint64_t pair_bytes(std::uint64_t b1, std::uint64_t b2) {
    return FIRST[b1] | (static_cast<std::uint64_t>(SECOND[((b1 & 1) << 8) | b2]) << 8);
}

// How many of the four pairs of `word`, from the first on, the rules convert
// by the arithmetic alone: second byte 0x80 or more, first byte A1-F8 (so
// neither 8E nor one of the table rows F9-FC).
inline std::size_t arithmetic_pairs(std::uint64_t word) {
    constexpr std::uint64_t LANES = 0x0100010001000100u;  // bit 8 of each 16-bit lane
    const std::uint64_t leads = word & 0x00FF00FF00FF00FFu;
    const std::uint64_t at_least_a1 = leads + 0x005F005F005F005Fu;  // bit 8 set when lead >= A1
    const std::uint64_t above_f8 = leads + 0x0007000700070007u;     // bit 8 set when lead >= F9
    const std::uint64_t trail_high = word >> 7;                     // bit 15 of a lane to bit 8
    const std::uint64_t not_arithmetic = ~(at_least_a1 & ~above_f8 & trail_high) & LANES;
    return not_arithmetic == 0 ? 4 : static_cast<std::size_t>(std::countr_zero(not_arithmetic) / 16);
}

}  // namespace euc_detail

// Eight bytes a step: an ASCII run is stored whole and its ASCII bytes kept;
// pairs are converted four at once and those the arithmetic covers kept.
inline Progress euc_to_sjis(const unsigned char* src, std::size_t size, char* out, std::size_t room) {
    std::size_t read = 0;
    std::size_t written = 0;
    while (size - read >= 8 && room - written >= 8) {
        const std::uint64_t word = load8(src + read);
        std::size_t count = 0;
        if ((word & 0x80) == 0) {
            store8(out + written, word);
            count = ascii_prefix(word);
        } else {
            const std::size_t pairs = euc_detail::arithmetic_pairs(word);
            if (pairs == 0) {
                break;
            }
            std::uint64_t bytes = 0;
            for (int shift = 0; shift < 64; shift += 16) {
                bytes |= euc_detail::pair_bytes((word >> shift) & 0xFF, (word >> (shift + 8)) & 0xFF) << shift;
            }
            store8(out + written, bytes);
            count = 2 * pairs;
        }
        read += count;
        written += count;
    }
    return {read, written};
}

}  // namespace postori::fast
