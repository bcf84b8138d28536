// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/form_body.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace postori {
namespace {

constexpr char CARRIAGE_RETURN = '\r';

// White space as the C library's isspace() knows it in the "C" locale.
constexpr bool is_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The value of a hexadecimal digit, or -1.
constexpr int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads the short string of an escape (the one or two bytes after a '%') as a
// base-16 number: white space, one optional sign, then hex digits, which must
// use up the whole string. Gives the byte to write, or -1 when the escape is
// not a number.
int decode_escape(const char* escape, std::size_t length) {
    std::size_t k = 0;
    while (k < length && is_space(escape[k])) {
        ++k;
    }
    bool negative = false;
    if (k < length && (escape[k] == '+' || escape[k] == '-')) {
        negative = escape[k] == '-';
        ++k;
    }
    const std::size_t first_digit = k;
    unsigned number = 0;
    for (; k < length && hex_value(escape[k]) >= 0; ++k) {
        number = number * 16 + static_cast<unsigned>(hex_value(escape[k]));
    }
    if (k == first_digit || k != length) {
        return -1;
    }
    if (negative) {
        number = 0u - number;
    }
    return static_cast<int>(number & 0xFFu);
}

}  // namespace

std::int32_t split_fields(char* text, std::span<char*> slots, char separator) {
    if (text == nullptr || slots.empty()) {
        return 0;
    }
    if (char* cr = std::strchr(text, CARRIAGE_RETURN)) {
        *cr = '\0';
    }

    // A zero separator would "match" the terminating zero; it is never found.
    auto find_separator = [separator](char* from) -> char* {
        return separator == '\0' ? nullptr : std::strchr(from, separator);
    };

    char* position = text;
    std::size_t i = 0;
    for (;;) {
        slots[i] = position;
        char* found = find_separator(position);
        if (i + 1 == slots.size()) {
            if (found != nullptr) {
                *found = '\0';
            }
            return static_cast<std::int32_t>(slots.size());
        }
        if (found == nullptr) {
            break;
        }
        *found = '\0';
        position = found + 1;
        ++i;
    }

    char* empty = slots[i] + std::strlen(slots[i]);
    for (std::size_t k = i + 1; k < slots.size(); ++k) {
        slots[k] = empty;
    }
    return static_cast<std::int32_t>(i + 1);
}

std::int32_t percent_decode(char* output, std::uint32_t output_size, const char* input, std::int32_t input_length) {
    if (output == nullptr || output_size == 0 || input == nullptr || input_length < 1) {
        return 0;
    }
    const auto length = static_cast<std::size_t>(input_length);
    std::size_t i = 0;
    std::uint32_t o = 0;
    for (;;) {
        if (o >= output_size) {
            break;
        }
        const char byte = input[i];
        if (byte == '\0') {
            break;
        }
        char decoded;
        if (byte == '%') {
            if (i + 2 > length) {
                break;  // the '%' is the last input byte
            }
            // The escape is the next two bytes, or one when the '%' is the
            // next-to-last byte; a zero byte among them ends it early.
            std::size_t escape_length = 0;
            while (escape_length < 2 && i + 1 + escape_length < length && input[i + 1 + escape_length] != '\0') {
                ++escape_length;
            }
            const int value = decode_escape(input + i + 1, escape_length);
            if (value < 0) {
                break;
            }
            decoded = static_cast<char>(static_cast<unsigned char>(value));
            i += 3;
        } else {
            decoded = byte == '+' ? ' ' : byte;
            i += 1;
        }
        output[o] = decoded;
        if (o + 1 < output_size) {
            output[o + 1] = '\0';
        }
        ++o;
        if (i >= length) {
            break;
        }
    }
    return static_cast<std::int32_t>(o);
}

std::vector<FormField> collect_fields(char* body) {
    std::vector<FormField> fields;
    if (body == nullptr) {
        return fields;
    }
    std::vector<char*> pieces(MAX_FIELDS);
    const std::int32_t count = split_fields(body, pieces, FIELD_SEPARATOR);
    fields.reserve(static_cast<std::size_t>(count));
    for (std::int32_t k = 0; k < count; ++k) {
        const std::string_view piece(pieces[static_cast<std::size_t>(k)]);
        const std::size_t equals = piece.find(NAME_VALUE_SEPARATOR);
        if (equals == std::string_view::npos) {
            continue;
        }
        fields.push_back({std::string(piece.substr(0, equals)), std::string(piece.substr(equals + 1))});
    }
    return fields;
}

std::string decode_value(std::string_view raw) {
    // A value too long for the 32-bit length the decoder takes is decoded up
    // to that length; the body it came from is far shorter in practice.
    constexpr std::size_t max_length = (std::numeric_limits<std::uint32_t>::max() - 1) / 2;
    const std::size_t length =
        std::min({raw.size(), max_length, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())});
    std::string buffer(2 * length + 1, '\0');
    const std::int32_t written = percent_decode(buffer.data(), static_cast<std::uint32_t>(buffer.size()), raw.data(),
                                                static_cast<std::int32_t>(length));
    buffer.resize(static_cast<std::size_t>(written));
    buffer.resize(std::strlen(buffer.c_str()));  // a decoded %00 ends the value
    return buffer;
}

std::string field_value_bytes(const FormField& field) {
    switch (field.kind) {
        case FieldKind::Urlencoded:
            return decode_value(field.value);
        case FieldKind::Text:
            return field.value;
        case FieldKind::File:
            break;
    }
    return {};
}

std::string field_name_bytes(const FormField& field) {
    return field.kind == FieldKind::Urlencoded ? decode_value(field.name) : field.name;
}

std::int32_t count_char(const char* text, char byte) {
    if (text == nullptr) {
        return 0;
    }
    std::int64_t count = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == byte) {
            ++count;
        }
    }
    constexpr std::int64_t max = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(count < max ? count : max);
}

}  // namespace postori
