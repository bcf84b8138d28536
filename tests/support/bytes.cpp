// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/bytes.h"

#include <cstdio>

namespace postori::test_support {

std::string bytes(std::initializer_list<unsigned> values) {
    std::string out;
    for (const unsigned value : values) {
        out += static_cast<char>(value);
    }
    return out;
}

std::string bytes_of_hex(std::string_view hex) {
    std::string out;
    for (std::size_t k = 0; k + 1 < hex.size(); k += 3) {
        out += static_cast<char>(std::stoi(std::string(hex.substr(k, 2)), nullptr, 16));
    }
    return out;
}

std::u16string units_of_hex(std::string_view hex) {
    std::u16string out;
    for (std::size_t k = 0; k + 3 < hex.size(); k += 5) {
        out += static_cast<char16_t>(std::stoi(std::string(hex.substr(k, 4)), nullptr, 16));
    }
    return out;
}

std::string hex(std::string_view bytes) {
    std::string out;
    char digits[4];
    for (const char c : bytes) {
        std::snprintf(digits, sizeof digits, "%02X ", static_cast<unsigned char>(c));
        out += digits;
    }
    return out;
}

std::string hex(std::u16string_view units) {
    std::string out;
    char digits[6];
    for (const char16_t unit : units) {
        std::snprintf(digits, sizeof digits, "%04X ", static_cast<unsigned>(unit));
        out += digits;
    }
    return out;
}

}  // namespace postori::test_support
