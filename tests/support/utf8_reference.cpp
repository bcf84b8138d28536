// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/utf8_reference.h"

namespace postori::reference {

std::string utf8_of(std::uint32_t code_point) {
    std::string out;
    const auto put = [&out](std::uint32_t byte) { out += static_cast<char>(byte); };
    if (code_point < 0x80) {
        put(code_point);
    } else if (code_point < 0x800) {
        put(0xC0 | (code_point >> 6));
        put(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        put(0xE0 | (code_point >> 12));
        put(0x80 | ((code_point >> 6) & 0x3F));
        put(0x80 | (code_point & 0x3F));
    } else {
        put(0xF0 | (code_point >> 18));
        put(0x80 | ((code_point >> 12) & 0x3F));
        put(0x80 | ((code_point >> 6) & 0x3F));
        put(0x80 | (code_point & 0x3F));
    }
    return out;
}

std::string utf8_of(std::u16string_view units) {
    std::string out;
    out.reserve(units.size() * 3);
    for (const char16_t unit : units) {
        out += utf8_of(std::uint32_t{unit});
    }
    return out;
}

}  // namespace postori::reference
