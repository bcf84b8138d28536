// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding Shift_JIS (code page 932) text for display: no Linux window takes
// Shift_JIS bytes, so texts handed to the user interface are turned into
// UTF-16 (for Qt) or UTF-8 (for terminals) here.
#pragma once

#include <string>
#include <string_view>

namespace postori {

// 0x00-0x7F stay themselves, 0xA1-0xDF become U+FF61-U+FF9F, every
// double-byte code becomes the character the code page 932 mapping file
// gives it, the user-defined area 0xF040-0xF9FC becomes U+E000-U+E757, and
// anything undefined becomes U+FFFD.
[[nodiscard]] std::u16string sjis_to_utf16(std::string_view sjis);
[[nodiscard]] std::string sjis_to_utf8(std::string_view sjis);

}  // namespace postori
