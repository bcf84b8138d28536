// SPDX-License-Identifier: GPL-3.0-or-later
// The JIS-to-Shift_JIS arithmetic on a raw EUC-JP pair, shared by the
// conversion's character rules and its fast kernel.
#pragma once

#include <cstdint>

namespace postori {

// The Shift_JIS code (first byte x 256 + second byte) that the row/cell
// arithmetic gives for the EUC-JP pair b1 b2, with h = b1 >> 1:
//   odd b1:  first = h + 0x31 if h < 0x6F, else h + 0x71;
//            second = b2 - 0x61 if b2 <= 0xDF, else b2 - 0x60;
//   even b1: first = h + 0x30 if h <= 0x6F, else h + 0x70;
//            second = b2 - 2.
// For JIS X 0208 and NEC row 13 this is the standard transformation; it is
// applied to any pair whose second byte is 0x80 or more, with no check of
// either byte, so its result need not be a valid code.
[[nodiscard]] constexpr std::uint32_t sjis_by_arithmetic(std::uint32_t b1, std::uint32_t b2) {
    const std::uint32_t h = b1 >> 1;
    std::uint32_t first = 0;
    std::uint32_t second = 0;
    if ((b1 & 1) != 0) {
        first = h < 0x6F ? h + 0x31 : h + 0x71;
        second = b2 <= 0xDF ? b2 - 0x61 : b2 - 0x60;
    } else {
        first = h <= 0x6F ? h + 0x30 : h + 0x70;
        second = b2 - 2;
    }
    return ((first & 0xFF) << 8) | (second & 0xFF);
}

}  // namespace postori
