// SPDX-License-Identifier: GPL-3.0-or-later
// The few ASCII rules the readers of request heads and form bodies share:
// letter case of header names and labels, and blanks around values.
#pragma once

#include <algorithm>
#include <string_view>

namespace postori::ascii {

constexpr char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `text` lower-cased (ASCII letters only) is `lower_text`.
constexpr bool equals_lower(std::string_view text, std::string_view lower_text) {
    return text.size() == lower_text.size() &&
           std::equal(text.begin(), text.end(), lower_text.begin(), [](char a, char b) { return lower(a) == b; });
}

// A space or a tab, the blanks header values are written with.
constexpr bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// `text` without blanks at either end.
constexpr std::string_view trimmed(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace postori::ascii
