// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/capture_json.h"

#include <cstdio>
#include <string>

#include "app/core/capture_options.h"
#include "app/core/captured_values.h"

namespace postori {
namespace {

// The well-formed UTF-8 sequence at `at` and its length, or the length of
// the maximal subpart of an ill-formed one (at least 1) and false.
std::pair<std::size_t, bool> sequence_at(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return {1, true};
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;   // no overlong forms
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    } else {
        return {1, false};
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (at + k >= text.size() || byte(at + k) < low || byte(at + k) > high) {
            return {k, false};
        }
        low = 0x80;
        high = 0xBF;
    }
    return {length, true};
}

void append_field(std::string& out, const FormField& field, CodeChoice code) {
    out += "{\"name\":";
    out += json_string(shown_as_utf8(field_name_as_sjis(field, code)));
    out += ",\"decoded_name\":";
    out += json_string(shown_as_utf8(field_decoded_name_as_sjis(field, code)));
    out += ",\"value\":";
    out += json_string(shown_as_utf8(field_value_as_sjis(field, code)));
    if (field.kind == FieldKind::File) {
        out += ",\"file\":{\"filename\":";
        out += json_string(shown_as_utf8(bytes_as_sjis(field.file.filename, code)));
        out += ",\"content_type\":";
        out += json_string(shown_as_utf8(bytes_as_sjis(field.file.content_type, code)));
        out += ",\"size\":";
        out += std::to_string(field.file.size);
        out += '}';
    }
    out += '}';
}

const char* source_name(CodeSource source) {
    switch (source) {
        case CodeSource::Vote:
            return "vote";
        case CodeSource::CharsetField:
            return "_charset_";
        case CodeSource::Settings:
            break;
    }
    return "option";
}

}  // namespace

std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const auto [length, well_formed] = sequence_at(text, at);
        if (!well_formed) {
            out += "\xEF\xBF\xBD";  // U+FFFD
        } else if (length > 1) {
            out += text.substr(at, length);
        } else {
            const char c = text[at];
            switch (c) {
                case '"':
                    out += "\\\"";
                    break;
                case '\\':
                    out += "\\\\";
                    break;
                case '\b':
                    out += "\\b";
                    break;
                case '\f':
                    out += "\\f";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                default:
                    if (static_cast<unsigned char>(c) < 0x20) {
                        char escape[8];
                        std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
                        out += escape;
                    } else {
                        out += c;
                    }
            }
        }
        at += length;
    }
    out += '"';
    return out;
}

std::string capture_json(const CaptureResult& result, CodeChoice code, CodeSource source) {
    const std::vector<FormField>& fields = result.fields;
    std::string out = "{\"code\":\"";
    out += code_option_name(code);
    out += source != CodeSource::Settings ? "\",\"voted\":true" : "\",\"voted\":false";
    out += ",\"chosen_by\":\"";
    out += source_name(source);
    out += "\",\"content_type\":";
    out += json_string(result.content_type);
    out += result.complete ? ",\"complete\":true" : ",\"complete\":false";
    out += ",\"fields\":[";
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (k > 0) {
            out += ',';
        }
        append_field(out, fields[k], code);
    }
    out += "]}\n";
    return out;
}

}  // namespace postori
