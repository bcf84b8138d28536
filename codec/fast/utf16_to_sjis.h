// SPDX-License-Identifier: GPL-3.0-or-later
// The fast kernel of UTF-16 to Shift_JIS: every unit with a code, read from
// sjis_bytes_of_unit (the code table flattened to one indexing, ASCII
// included, each value the bytes ready to store). A unit without a code
// (U+0080 and up with no entry) is left to the rules.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "codec/fast/kernel.h"
#include "codec/fast/words.h"
#include "codec/sjis_tables.h"

namespace postori::fast {

// Writes the Shift_JIS bytes of `unit` at out[written] and returns true, or
// returns false, writing nothing, when it has no code. Two bytes are stored
// and those of the code kept: one load, one store, one add. (The count is
// worked out by arithmetic, a value above 0xFF giving a carry into bit 16,
// rather than by a comparison the compiler may turn into a branch, which
// the mix of ASCII and kanji would keep mispredicting.)
inline bool put_sjis_of_unit(char* out, std::size_t& written, std::uint32_t unit) {
    const std::uint32_t bytes = sjis_bytes_of_unit[unit];
    if (bytes == SJIS_BYTES_NONE) [[unlikely]] {
        return false;
    }
    store2(out + written, bytes);
    written += 1 + ((bytes + 0xFF00) >> 16);
    return true;
}

// A unit gives at most two bytes, so room / 2 units are taken with no check of
// the room per unit, four a round: no branch that the text decides is left,
// and the loop's own test would otherwise be a good part of the work.
// (Taking four units in one step when all four have two-byte codes, as the
// UTF-8 kernel does with five characters, does not pay here: in Japanese text
// the switches between ASCII and kanji keep that choice mispredicted.)
inline Progress utf16_to_sjis(const char16_t* src, std::size_t size, char* out, std::size_t room) {
    const std::size_t end = std::min(size, room / 2);
    std::size_t read = 0;
    std::size_t written = 0;
    for (; end - read >= 4; read += 4) {
        if (!put_sjis_of_unit(out, written, src[read])) {
            return {read, written};
        }
        if (!put_sjis_of_unit(out, written, src[read + 1])) {
            return {read + 1, written};
        }
        if (!put_sjis_of_unit(out, written, src[read + 2])) {
            return {read + 2, written};
        }
        if (!put_sjis_of_unit(out, written, src[read + 3])) {
            return {read + 3, written};
        }
    }
    for (; read < end; ++read) {
        if (!put_sjis_of_unit(out, written, src[read])) {
            break;
        }
    }
    return {read, written};
}

}  // namespace postori::fast
