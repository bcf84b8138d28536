// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/form_request.h"

namespace postori::test_support {

std::string form_urlencode(std::string_view bytes) {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            byte == '*' || byte == '-' || byte == '.' || byte == '_') {
            out += c;
        } else if (byte == ' ') {
            out += '+';
        } else {
            out += '%';
            out += DIGITS[byte >> 4];
            out += DIGITS[byte & 0xF];
        }
    }
    return out;
}

std::string post_head(std::size_t content_length, std::string_view extra_headers) {
    return "POST /form HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n" +
           std::string(extra_headers) + "Content-Length: " + std::to_string(content_length) + "\r\n\r\n";
}

std::string post_request(std::string_view body, std::string_view extra_headers) {
    return post_head(body.size(), extra_headers) + std::string(body);
}

}  // namespace postori::test_support
