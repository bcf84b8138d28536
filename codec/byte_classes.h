// SPDX-License-Identifier: GPL-3.0-or-later
// Byte classes shared by the encoding detector and the converters: which
// bytes may begin or continue a character in Shift_JIS, EUC-JP and UTF-8.
#pragma once

#include <array>
#include <cstdint>

namespace postori {

namespace byte_classes_detail {

template <typename Predicate>
constexpr std::array<std::uint8_t, 256> flags(Predicate predicate) {
    std::array<std::uint8_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        table[static_cast<std::size_t>(b)] = predicate(b) ? 1 : 0;
    }
    return table;
}

}  // namespace byte_classes_detail

// 81-9F and E0-FC: the first byte of a two-byte Shift_JIS character.
inline constexpr std::array<std::uint8_t, 256> sjis_lead =
    byte_classes_detail::flags([](int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); });

// 40-7E and 80-FC: a valid second byte of a two-byte Shift_JIS character.
inline constexpr std::array<std::uint8_t, 256> sjis_trail =
    byte_classes_detail::flags([](int b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); });

// 8E, 90-9F and A1-FE: the first byte of a two-byte EUC-JP character. 8F
// (single shift 3, a three-byte character) is not among them.
inline constexpr std::array<std::uint8_t, 256> euc_lead =
    byte_classes_detail::flags([](int b) { return b == 0x8E || (b >= 0x90 && b <= 0x9F) || (b >= 0xA1 && b <= 0xFE); });

// The length of a UTF-8 sequence by its first byte, 0 for a byte that cannot
// begin one (80-BF, FE, FF). Five- and six-byte forms are still recognised.
inline constexpr std::array<std::int32_t, 256> utf8_length = [] {
    std::array<std::int32_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        int length = 0;
        if (b <= 0x7F) {
            length = 1;
        } else if (b >= 0xC0 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
        } else if (b >= 0xF0 && b <= 0xF7) {
            length = 4;
        } else if (b >= 0xF8 && b <= 0xFB) {
            length = 5;
        } else if (b >= 0xFC && b <= 0xFD) {
            length = 6;
        }
        table[static_cast<std::size_t>(b)] = length;
    }
    return table;
}();

// The bits of a first byte that belong to the character, by sequence length.
inline constexpr std::array<std::uint8_t, 7> utf8_lead_mask = {0x3F, 0x7F, 0x1F, 0x0F, 0x07, 0x03, 0x01};

}  // namespace postori
