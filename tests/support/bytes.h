// SPDX-License-Identifier: GPL-3.0-or-later
// Byte strings written and shown in hexadecimal, for test inputs and for
// failure messages that must show every byte.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace postori::test_support {

// The bytes of `values`: bytes({0x82, 0xA0}) is the two bytes 82 A0.
[[nodiscard]] std::string bytes(std::initializer_list<unsigned> values);

// Bytes written as two hex digits each, one space between: "A4 A2".
[[nodiscard]] std::string bytes_of_hex(std::string_view hex);

// UTF-16 units written as four hex digits each, one space between: "3042 0041".
[[nodiscard]] std::u16string units_of_hex(std::string_view hex);

// Every byte as two upper-case hex digits and a space: "8E 52 ".
[[nodiscard]] std::string hex(std::string_view bytes);

// Every unit as four upper-case hex digits and a space: "3042 0041 ".
[[nodiscard]] std::string hex(std::u16string_view units);

}  // namespace postori::test_support
