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

std::string form_data_headers(std::string_view name) {
    return "Content-Disposition: form-data; name=\"" + std::string(name) + "\"";
}

std::string form_data_headers(std::string_view name, std::string_view filename, std::string_view content_type) {
    return form_data_headers(name) + "; filename=\"" + std::string(filename) +
           "\"\r\nContent-Type: " + std::string(content_type);
}

std::string multipart_part(std::string_view boundary, std::string_view headers, std::string_view content) {
    return "--" + std::string(boundary) + "\r\n" + std::string(headers) + "\r\n\r\n" + std::string(content) + "\r\n";
}

std::string multipart_close(std::string_view boundary) {
    return "--" + std::string(boundary) + "--\r\n";
}

std::string multipart_head(std::string_view boundary, std::uint64_t content_length) {
    return "POST /form HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + std::to_string(content_length) +
           "\r\nContent-Type: multipart/form-data; boundary=" + std::string(boundary) + "\r\n\r\n";
}

}  // namespace postori::test_support
