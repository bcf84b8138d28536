// SPDX-License-Identifier: GPL-3.0-or-later
// What the fast kernels of the conversions promise the loops that call them
// (codec/convert.cpp).
//
// A kernel takes a run of common characters at the front of a span at once,
// converting each exactly as the loop's character rules would, and says how
// far it got. It stops
//   - before the first character it does not know, which the rules convert;
//   - before the output it keeps would pass `room` units (what is left of the
//     chunk);
//   - some elements short of the span's end, since it reads words ahead;
// and always between two characters: `read` and `written` never split one.
// A kernel that takes nothing returns {0, 0}; the loop then converts one
// character by the rules and asks again.
//
// To keep its stores whole, a kernel may write scratch past what it keeps,
// never more than SPILL units past `room`; the chunk buffers leave that much
// behind the chunk.
//
// Every kernel has a portable form built from 64-bit words; the UTF-8 kernels
// also have an SSE2 form, used where the compiler targets SSE2 and the build
// does not ask for the portable one (POSTORI_PORTABLE_CODEC).
#pragma once

#include <cstddef>

#if defined(__SSE2__) && !defined(POSTORI_PORTABLE_CODEC)
#define POSTORI_FAST_SSE2 1
#else
#define POSTORI_FAST_SSE2 0
#endif

namespace postori::fast {

struct Progress {
    std::size_t read;     // source elements converted
    std::size_t written;  // output units kept
};

inline constexpr std::size_t SPILL = 8;

}  // namespace postori::fast
