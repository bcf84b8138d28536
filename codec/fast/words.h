// SPDX-License-Identifier: GPL-3.0-or-later
// Eight bytes at a time as one 64-bit number, the first byte lowest whatever
// the machine's byte order, for the portable fast kernels.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace postori::fast {

// The top bit of each byte.
inline constexpr std::uint64_t HIGH_BITS = 0x8080808080808080u;

inline std::uint64_t load8(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) {
        word = __builtin_bswap64(word);
    }
    return word;
}

// Stores the eight bytes of `word`, the lowest first.
inline void store8(char* p, std::uint64_t word) {
    if constexpr (std::endian::native == std::endian::big) {
        word = __builtin_bswap64(word);
    }
    std::memcpy(p, &word, sizeof word);
}

// Stores the low two bytes of `value`, the lowest first.
inline void store2(char* p, std::uint32_t value) {
    auto bytes = static_cast<std::uint16_t>(value & 0xFFFF);
    if constexpr (std::endian::native == std::endian::big) {
        bytes = static_cast<std::uint16_t>((bytes >> 8) | (bytes << 8));
    }
    std::memcpy(p, &bytes, sizeof bytes);
}

// How many bytes of `word` from the first on are ASCII (0-8).
inline std::size_t ascii_prefix(std::uint64_t word) {
    return static_cast<std::size_t>(std::countr_zero(word & HIGH_BITS) / 8);
}

}  // namespace postori::fast
