// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/content_type.h"

#include "capture/ascii_text.h"

namespace postori {
namespace {

using ascii::is_blank;
using ascii::trimmed;

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = ascii::lower(c);
    }
    return out;
}

// Reads one parameter value at the start of `rest` (a quoted string or a
// token up to the next ';') and leaves `rest` after it.
std::string read_value(std::string_view& rest) {
    std::string value;
    if (!rest.empty() && rest.front() == '"') {
        std::size_t k = 1;
        for (; k < rest.size() && rest[k] != '"'; ++k) {
            if (rest[k] == '\\' && k + 1 < rest.size()) {
                ++k;
            }
            value += rest[k];
        }
        rest.remove_prefix(k < rest.size() ? k + 1 : k);
        return value;
    }
    const std::size_t end = rest.find(';');
    value = trimmed(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    return value;
}

}  // namespace

ContentType parse_content_type(std::string_view value) {
    ContentType type;
    const std::size_t type_end = value.find(';');
    const std::string_view media = trimmed(value.substr(0, type_end));
    if (media.find('/') != std::string_view::npos) {
        type.media_type = lowered(media);
    }
    bool have_boundary = false;
    bool have_charset = false;
    std::string_view rest = type_end == std::string_view::npos ? std::string_view{} : value.substr(type_end + 1);
    while (!rest.empty()) {
        const std::size_t equals = rest.find('=');
        const std::size_t semicolon = rest.find(';');
        if (equals == std::string_view::npos || (semicolon != std::string_view::npos && semicolon < equals)) {
            // A parameter without '=': skipped to the next one.
            rest.remove_prefix(semicolon == std::string_view::npos ? rest.size() : semicolon + 1);
            continue;
        }
        const std::string name = lowered(trimmed(rest.substr(0, equals)));
        rest.remove_prefix(equals + 1);
        while (!rest.empty() && is_blank(rest.front())) {
            rest.remove_prefix(1);
        }
        std::string parameter = read_value(rest);
        if (name == "boundary" && !have_boundary) {
            type.boundary = std::move(parameter);
            have_boundary = true;
        } else if (name == "charset" && !have_charset) {
            type.charset = std::move(parameter);
            have_charset = true;
        }
        // Whatever follows a quoted value up to the next ';' is not part of it.
        const std::size_t next = rest.find(';');
        rest.remove_prefix(next == std::string_view::npos ? rest.size() : next + 1);
    }
    return type;
}

}  // namespace postori
