// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/request_head.h"

#include "capture/ascii_text.h"

#include <cstring>
#include <limits>
#include <string_view>
#include <utility>

namespace postori {
namespace {

constexpr std::int32_t MIN_HEAD_BYTES = 5;
constexpr std::string_view LINE_END = "\r\n";
constexpr std::string_view HEAD_END = "\r\n\r\n";
constexpr std::string_view NAME_END = ": ";

// White space as the C library's isspace() knows it in the "C" locale.
constexpr bool is_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

constexpr char ascii_upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Compares `text` with an upper-case `token`, upper-casing `text` first.
bool equals_upper(std::string_view text, std::string_view token) {
    if (text.size() != token.size()) {
        return false;
    }
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (ascii_upper(text[k]) != token[k]) {
            return false;
        }
    }
    return true;
}

// Reads a decimal number the way atoi does (leading white space, one
// optional sign, digits up to the first non-digit; 0 without digits), but
// saturates at the 32-bit limits instead of overflowing.
std::int32_t read_decimal(std::string_view text) {
    std::size_t k = 0;
    while (k < text.size() && is_space(text[k])) {
        ++k;
    }
    bool negative = false;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) {
        negative = text[k] == '-';
        ++k;
    }
    // Accumulate the magnitude towards the limit of the sign's side; once
    // past it, further digits change nothing.
    constexpr std::int64_t max_magnitude = std::int64_t{std::numeric_limits<std::int32_t>::max()};
    const std::int64_t limit = negative ? max_magnitude + 1 : max_magnitude;
    std::int64_t magnitude = 0;
    for (; k < text.size() && is_digit(text[k]); ++k) {
        if (magnitude < limit) {
            magnitude = magnitude * 10 + (text[k] - '0');
            if (magnitude > limit) {
                magnitude = limit;
            }
        }
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

std::int32_t parse_request_head(const char* received, std::int32_t received_count, RequestHead& head) {
    if (received == nullptr || received_count < MIN_HEAD_BYTES) {
        return 0;
    }
    // The received bytes are a zero-terminated string: nothing after the first
    // zero byte is looked at.
    const std::string_view bytes(received);
    const std::size_t head_end = bytes.find(HEAD_END);
    if (head_end == std::string_view::npos ||
        head_end > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) - HEAD_END.size()) {
        return 0;
    }

    // The body offset is known as soon as the blank line is, even for a head
    // that turns out not to count.
    head.head_length = static_cast<std::int32_t>(head_end + HEAD_END.size());

    // Everything below reads only the head, the bytes before the blank line.
    const std::string_view text = bytes.substr(0, head_end);
    const std::size_t request_line_end = text.find(LINE_END);
    if (request_line_end == std::string_view::npos) {
        // A request line with no header line after it never completes.
        return 0;
    }

    const std::string_view request_line = text.substr(0, request_line_end);
    const std::string_view token = request_line.substr(0, request_line.find(' '));
    RequestMethod method = RequestMethod::Other;
    if (equals_upper(token, "GET")) {
        method = RequestMethod::Get;
    } else if (equals_upper(token, "POST")) {
        method = RequestMethod::Post;
    }

    std::int32_t content_length = 0;
    ContentType content_type;
    std::string_view rest = text.substr(request_line_end + LINE_END.size());
    for (;;) {
        const std::size_t line_end = rest.find(LINE_END);
        const std::string_view line = rest.substr(0, line_end);
        const std::size_t name_end = line.find(NAME_END);
        if (name_end == std::string_view::npos) {
            // A line that is not "name: value" ends the header lines.
            break;
        }
        if (ascii::equals_lower(line.substr(0, name_end), "content-length")) {
            content_length = read_decimal(line.substr(name_end + NAME_END.size()));
        } else if (ascii::equals_lower(line.substr(0, name_end), "content-type")) {
            content_type = parse_content_type(line.substr(name_end + NAME_END.size()));
        }
        if (line_end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(line_end + LINE_END.size());
    }

    head.method = method;
    head.content_length = content_length;
    head.content_type = std::move(content_type);
    return 1;
}

RequestLine request_line(std::string_view received) {
    std::string_view line = received.substr(0, received.find(LINE_END));
    RequestLine words;
    const std::size_t method_end = line.find(' ');
    words.method = line.substr(0, method_end);
    if (method_end != std::string_view::npos) {
        line.remove_prefix(method_end + 1);
        words.target = line.substr(0, line.find(' '));
    }
    return words;
}

bool request_complete(const RequestHead& head, std::int32_t received_count) {
    return std::int64_t{received_count} >= std::int64_t{head.head_length} + std::int64_t{head.content_length};
}

}  // namespace postori
