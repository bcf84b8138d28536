// A plain UTF-8 encoder for BMP text, written apart from the code under
// test, to compare its UTF-8 output with.
#pragma once

#include <string>

namespace postori::reference {

inline std::string utf8_of(const std::u16string& text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (const char16_t c : text) {
        const unsigned v = c;
        if (v < 0x80) {
            out += static_cast<char>(v);
        } else if (v < 0x800) {
            out += static_cast<char>(0xC0 | (v >> 6));
            out += static_cast<char>(0x80 | (v & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (v >> 12));
            out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (v & 0x3F));
        }
    }
    return out;
}

}  // namespace postori::reference
