// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/json.h"

#include <charconv>
#include <cstdint>

#include "tests/support/utf8_reference.h"

namespace postori::test_support {
namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<JsonValue> document() {
        std::optional<JsonValue> value = read_value();
        space();
        return at_ == text_.size() ? value : std::nullopt;
    }

private:
    void space() {
        while (at_ < text_.size() && std::string_view(" \t\n\r").find(text_[at_]) != std::string_view::npos) {
            ++at_;
        }
    }

    // Takes `word` after any white space.
    bool take(std::string_view word) {
        space();
        if (!text_.substr(at_).starts_with(word)) {
            return false;
        }
        at_ += word.size();
        return true;
    }

    // The writers nest three deep at most: no depth limit is needed.
    std::optional<JsonValue> read_value() {
        JsonValue value;
        const bool truth = take("true");
        if (truth || take("false")) {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = truth;
            return value;
        }
        if (take("[") || take("{")) {
            const bool object = text_[at_ - 1] == '{';
            const std::string_view close = object ? "}" : "]";
            value.kind = object ? JsonValue::Kind::Object : JsonValue::Kind::Array;
            if (take(close)) {
                return value;
            }
            do {
                std::string name;
                if (object && !(read_string(name) && take(":"))) {
                    return std::nullopt;
                }
                std::optional<JsonValue> item = read_value();
                if (!item) {
                    return std::nullopt;
                }
                if (object) {
                    value.members.push_back({std::move(name), std::move(*item)});
                } else {
                    value.items.push_back(std::move(*item));
                }
            } while (take(","));
            return take(close) ? std::optional(std::move(value)) : std::nullopt;
        }
        space();
        if (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
            // No leading zero before another digit, as JSON requires.
            const char* digits = text_.data() + at_;
            const auto [end, error] = std::from_chars(digits, text_.data() + text_.size(), value.number);
            if (error != std::errc() || (digits[0] == '0' && end - digits > 1)) {
                return std::nullopt;
            }
            at_ += static_cast<std::size_t>(end - digits);
            value.kind = JsonValue::Kind::Number;
            return value;
        }
        value.kind = JsonValue::Kind::String;
        return read_string(value.string) ? std::optional(std::move(value)) : std::nullopt;
    }

    // The text is valid UTF-8 as a whole, so its bytes are copied as they are.
    bool read_string(std::string& out) {
        static constexpr std::string_view ESCAPED = "\"\\/bfnrt";
        static constexpr std::string_view MEANT = "\"\\/\b\f\n\r\t";
        if (!take("\"")) {
            return false;
        }
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') {
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20 || (c == '\\' && at_ == text_.size())) {
                return false;
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            const char escape = text_[at_++];
            if (const std::size_t k = ESCAPED.find(escape); k != std::string_view::npos) {
                out += MEANT[k];
                continue;
            }
            const char* digits = text_.data() + at_;
            std::uint32_t code = 0;
            if (escape != 'u' || text_.size() - at_ < 4 ||
                std::from_chars(digits, digits + 4, code, 16).ptr != digits + 4 || (code >= 0xD800 && code <= 0xDFFF)) {
                return false;
            }
            at_ += 4;
            out += reference::utf8_of(code);
        }
        return false;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

const JsonValue* JsonValue::member(std::string_view key) const {
    for (const auto& [name, value] : members) {
        if (name == key) {
            return &value;
        }
    }
    return nullptr;
}

std::optional<JsonValue> parse_json(std::string_view text) {
    return valid_utf8(text) ? Reader(text).document() : std::nullopt;
}

bool valid_utf8(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[at++]);
        const int more = lead < 0x80 ? 0 : lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2 : 3;
        if (lead >= 0x80 && (lead < 0xC2 || lead > 0xF4)) {
            return false;
        }
        std::uint32_t code = lead & (0x7F >> more);
        for (int k = 0; k < more; ++k, ++at) {
            if (at >= bytes.size() || (static_cast<unsigned char>(bytes[at]) & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (static_cast<unsigned char>(bytes[at]) & 0x3F);
        }
        const std::uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        if (code < smallest[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
    }
    return true;
}

}  // namespace postori::test_support
