// SPDX-License-Identifier: GPL-3.0-or-later
// The shape of every constant code table of the character-code engine: a
// sparse three-level map from a 16-bit code to a 32-bit value, 0 meaning no
// entry.
//
//   top    256 entries, index code >> 8         -> middle, or null
//   middle   8 entries, index (code >> 5) & 7    -> leaf, or null
//   leaf    32 entries, index code & 0x1F        -> value (0: no entry)
//
// Middles and leaves that would hold only zeros are not stored (null), and a
// leaf whose 32 values equal another's is stored once and shared. The tables
// are constant-initialised data: complete before main, never written, read
// by any thread without locks.
#pragma once

#include <array>
#include <cstdint>

namespace postori {

using CodeLeaf = std::array<std::uint32_t, 32>;
using CodeMiddle = std::array<const CodeLeaf*, 8>;

struct CodeTable {
    std::array<const CodeMiddle*, 256> top;
};

// The value stored for `code`, or 0 when the table has none; 0 for every
// code above 0xFFFF. No table stores 0 as a real value.
[[nodiscard]] constexpr std::uint32_t lookup(const CodeTable& table, std::uint32_t code) noexcept {
    if (code > 0xFFFF) {
        return 0;
    }
    const CodeMiddle* middle = table.top[code >> 8];
    if (middle == nullptr) {
        return 0;
    }
    const CodeLeaf* leaf = (*middle)[(code >> 5) & 7];
    if (leaf == nullptr) {
        return 0;
    }
    return (*leaf)[code & 0x1F];
}

}  // namespace postori
