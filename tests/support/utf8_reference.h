// SPDX-License-Identifier: GPL-3.0-or-later
// A plain UTF-8 encoder, written apart from the code under test, to make
// UTF-8 inputs and to compare UTF-8 outputs with.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace postori::reference {

// The UTF-8 form of one code point (1 to 4 bytes). Surrogate code points are
// encoded like any other (3 bytes), as a converter's malformed input.
[[nodiscard]] std::string utf8_of(std::uint32_t code_point);

// The UTF-8 form of UTF-16 text taken unit by unit: every unit is encoded as
// a code point of its own, so a surrogate pair gives two 3-byte forms.
// Decoded display text holds no surrogates, so for it this is plain UTF-8.
[[nodiscard]] std::string utf8_of(std::u16string_view units);

}  // namespace postori::reference
