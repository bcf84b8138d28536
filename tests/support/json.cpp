#include "tests/support/json.h"

#include <cstdint>
#include <cstdlib>

#include "tests/support/utf8_reference.h"

namespace postori::test_support {
namespace {

// The code point of the UTF-8 sequence at `at`, advancing `at`; -1 when the
// sequence is ill-formed.
std::int64_t decode_at(std::string_view bytes, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(bytes[at++]);
    if (lead < 0x80) {
        return lead;
    }
    int more = 0;
    std::uint32_t code = 0;
    std::uint32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        more = 1, code = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        more = 2, code = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        more = 3, code = lead & 0x07, smallest = 0x10000;
    } else {
        return -1;
    }
    for (; more > 0; --more) {
        if (at >= bytes.size() || (static_cast<unsigned char>(bytes[at]) & 0xC0) != 0x80) {
            return -1;
        }
        code = (code << 6) | (static_cast<unsigned char>(bytes[at++]) & 0x3F);
    }
    if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return -1;
    }
    return code;
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<JsonValue> document(std::string* error) {
        std::optional<JsonValue> value = parse_value(0);
        skip_space();
        if (value && at_ != text_.size()) {
            fail("text after the value");
            value.reset();
        }
        if (!value && error != nullptr) {
            *error = error_ + " at byte " + std::to_string(at_);
        }
        return value;
    }

private:
    static constexpr int MAX_DEPTH = 256;

    std::nullopt_t fail(std::string what) {
        if (error_.empty()) {
            error_ = std::move(what);
        }
        return std::nullopt;
    }

    bool string_error(std::string what) {
        fail(std::move(what));
        return false;
    }

    void skip_space() {
        while (at_ < text_.size() &&
               (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
            ++at_;
        }
    }

    bool take(char c) {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    bool take_word(std::string_view word) {
        if (text_.substr(at_, word.size()) == word) {
            at_ += word.size();
            return true;
        }
        return false;
    }

    std::optional<JsonValue> parse_value(int depth) {
        if (depth > MAX_DEPTH) {
            return fail("nested too deep");
        }
        skip_space();
        JsonValue value;
        if (take_word("null")) {
            return value;
        }
        if (take_word("true") || take_word("false")) {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = text_.substr(at_ - 4, 4) == "true";
            return value;
        }
        if (at_ < text_.size() && text_[at_] == '"') {
            value.kind = JsonValue::Kind::String;
            if (!parse_string(value.string)) {
                return std::nullopt;
            }
            return value;
        }
        if (take('[')) {
            value.kind = JsonValue::Kind::Array;
            skip_space();
            if (take(']')) {
                return value;
            }
            do {
                std::optional<JsonValue> item = parse_value(depth + 1);
                if (!item) {
                    return std::nullopt;
                }
                value.items.push_back(std::move(*item));
                skip_space();
            } while (take(','));
            return take(']') ? std::optional(std::move(value)) : fail("',' or ']' expected");
        }
        if (take('{')) {
            value.kind = JsonValue::Kind::Object;
            skip_space();
            if (take('}')) {
                return value;
            }
            do {
                skip_space();
                std::string key;
                if (at_ >= text_.size() || text_[at_] != '"' || !parse_string(key)) {
                    return fail("a member name expected");
                }
                skip_space();
                if (!take(':')) {
                    return fail("':' expected");
                }
                std::optional<JsonValue> member = parse_value(depth + 1);
                if (!member) {
                    return std::nullopt;
                }
                value.members.push_back({std::move(key), std::move(*member)});
                skip_space();
            } while (take(','));
            return take('}') ? std::optional(std::move(value)) : fail("',' or '}' expected");
        }
        return parse_number();
    }

    std::optional<JsonValue> parse_number() {
        const std::size_t start = at_;
        const auto digits = [this] {
            const std::size_t from = at_;
            while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
                ++at_;
            }
            return at_ - from;
        };
        take('-');
        const std::size_t first = at_;
        const std::size_t whole = digits();
        if (whole == 0 || (whole > 1 && text_[first] == '0')) {
            return fail("a value expected");
        }
        if (take('.') && digits() == 0) {
            return fail("digits expected after '.'");
        }
        if (take('e') || take('E')) {
            if (!take('+')) {
                take('-');
            }
            if (digits() == 0) {
                return fail("digits expected in the exponent");
            }
        }
        JsonValue value;
        value.kind = JsonValue::Kind::Number;
        value.number = std::strtod(std::string(text_.substr(start, at_ - start)).c_str(), nullptr);
        return value;
    }

    std::optional<std::uint32_t> hex4() {
        if (at_ + 4 > text_.size()) {
            return std::nullopt;
        }
        std::uint32_t unit = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text_[at_++];
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) {
                return std::nullopt;
            }
            unit = unit * 16 + static_cast<std::uint32_t>(digit);
        }
        return unit;
    }

    bool parse_string(std::string& out) {
        ++at_;  // the opening quote
        for (;;) {
            if (at_ >= text_.size()) {
                return string_error("unterminated string");
            }
            const char c = text_[at_];
            if (c == '"') {
                ++at_;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                return string_error("a control character in a string");
            }
            if (c != '\\') {
                const std::size_t from = at_;
                if (decode_at(text_, at_) < 0) {
                    at_ = from;
                    return string_error("invalid UTF-8");
                }
                out += text_.substr(from, at_ - from);
                continue;
            }
            ++at_;
            const char escape = at_ < text_.size() ? text_[at_++] : '\0';
            switch (escape) {
                case '"':
                case '\\':
                case '/':
                    out += escape;
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    std::optional<std::uint32_t> unit = hex4();
                    if (!unit) {
                        return string_error("four hex digits expected after \\u");
                    }
                    std::uint32_t code = *unit;
                    if (code >= 0xDC00 && code <= 0xDFFF) {
                        return string_error("a lone low surrogate");
                    }
                    if (code >= 0xD800 && code <= 0xDBFF) {
                        const std::optional<std::uint32_t> low = take_word("\\u") ? hex4() : std::nullopt;
                        if (!low || *low < 0xDC00 || *low > 0xDFFF) {
                            return string_error("a lone high surrogate");
                        }
                        code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
                    }
                    out += reference::utf8_of(code);
                    break;
                }
                default:
                    return string_error("an unknown escape");
            }
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::string error_;
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

std::optional<JsonValue> parse_json(std::string_view text, std::string* error) {
    return Reader(text).document(error);
}

bool valid_utf8(std::string_view bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        if (decode_at(bytes, at) < 0) {
            return false;
        }
    }
    return true;
}

}  // namespace postori::test_support
