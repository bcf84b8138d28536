// SPDX-License-Identifier: GPL-3.0-or-later
// The conversions of codec/convert.h by their character rules alone, with
// the fast kernels (codec/fast/) switched off: the reference that the tests
// and fuzz targets hold the fast paths to. Same arguments and results as the
// functions of the same names in codec/convert.h; slower. Not for the
// program's own use.
#pragma once

#include <string>

namespace postori::plain {

[[nodiscard]] std::string euc_to_sjis(const std::string& euc);
[[nodiscard]] std::u16string utf8_to_utf16(const std::string& utf8);
[[nodiscard]] std::string utf16_to_sjis(const std::u16string& utf16);
[[nodiscard]] std::string utf8_to_sjis(const std::string& utf8);

}  // namespace postori::plain
