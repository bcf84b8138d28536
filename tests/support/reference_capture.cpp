// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/reference_capture.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace postori::reference {

std::int32_t parse_request_head(const char* received, std::int32_t received_count, RequestHead& head) {
    if (received_count < 5) {
        return 0;
    }
    const char* end = std::strstr(received, "\r\n\r\n");
    if (end == nullptr) {
        return 0;
    }
    head.head_length = static_cast<std::int32_t>(end - received) + 4;
    std::string copy(received, static_cast<std::size_t>(end - received));
    char* text = copy.data();
    char* line_end = std::strstr(text, "\r\n");
    if (line_end == nullptr) {
        return 0;
    }
    *line_end = '\0';
    if (char* space = std::strchr(text, ' ')) {
        *space = '\0';
    }
    for (char* p = text; *p != '\0'; ++p) {
        if (*p >= 'a' && *p <= 'z') {
            *p = static_cast<char>(*p - 'a' + 'A');
        }
    }
    head.method = RequestMethod::Other;
    if (std::strcmp(text, "GET") == 0) {
        head.method = RequestMethod::Get;
    } else if (std::strcmp(text, "POST") == 0) {
        head.method = RequestMethod::Post;
    }
    head.content_length = 0;
    char* line = line_end + 2;
    for (;;) {
        char* next = std::strstr(line, "\r\n");
        if (next != nullptr) {
            *next = '\0';
        }
        char* colon = std::strstr(line, ": ");
        if (colon == nullptr) {
            break;
        }
        *colon = '\0';
        for (char* p = line; *p != '\0'; ++p) {
            if (*p >= 'A' && *p <= 'Z') {
                *p = static_cast<char>(*p - 'A' + 'a');
            }
        }
        if (std::strcmp(line, "content-length") == 0) {
            errno = 0;
            long long value = std::strtoll(colon + 2, nullptr, 10);
            if (value > INT32_MAX) {
                value = INT32_MAX;
            } else if (value < INT32_MIN) {
                value = INT32_MIN;
            }
            head.content_length = static_cast<std::int32_t>(value);
        }
        if (next == nullptr) {
            break;
        }
        line = next + 2;
    }
    return 1;
}

std::int32_t percent_decode(char* output, std::uint32_t output_size, const char* input, std::int32_t input_length) {
    if (output == nullptr || output_size == 0 || input == nullptr || input_length < 1) {
        return 0;
    }
    std::int32_t i = 0;
    std::uint32_t o = 0;
    std::int32_t written = 0;
    for (;;) {
        if (o >= output_size) {
            break;
        }
        if (input[i] == '\0') {
            break;
        }
        if (input[i] == '%') {
            if (i + 2 > input_length) {
                break;
            }
            char escape[3] = {input[i + 1], input[i + 1] != '\0' ? input[i + 2] : '\0', '\0'};
            char* rest = nullptr;
            const long value = std::strtol(escape, &rest, 16);
            if (rest == escape || *rest != '\0') {
                break;
            }
            output[o] = static_cast<char>(value & 0xFF);
            i += 3;
        } else {
            output[o] = input[i] == '+' ? ' ' : input[i];
            i += 1;
        }
        if (o + 1 < output_size) {
            output[o + 1] = '\0';
        }
        ++o;
        ++written;
        if (i >= input_length) {
            break;
        }
    }
    return written;
}

}  // namespace postori::reference
