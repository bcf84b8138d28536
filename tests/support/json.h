// A strict JSON reader, written apart from the code under test, to check
// what the programs print for scripts: one JSON text (RFC 8259) in valid
// UTF-8, read into a tree whose objects keep their members in order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postori::test_support {

struct JsonMember;

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string string;  // UTF-8, escapes resolved
    std::vector<JsonValue> items;
    std::vector<JsonMember> members;  // in order

    // The first member named `key`, or nullptr (also when not an object).
    [[nodiscard]] const JsonValue* member(std::string_view key) const;
};

struct JsonMember {
    std::string name;
    JsonValue value;
};

// Reads `text` as one JSON text with optional white space around it. Strict:
// invalid UTF-8, control characters in strings, lone surrogate escapes,
// leading zeros, trailing commas and anything after the value are errors.
// On an error, nullopt, and `error` (when given) says what and where.
[[nodiscard]] std::optional<JsonValue> parse_json(std::string_view text, std::string* error = nullptr);

// Whether `bytes` are well-formed UTF-8: no overlong forms, no surrogates,
// nothing above U+10FFFF.
[[nodiscard]] bool valid_utf8(std::string_view bytes);

}  // namespace postori::test_support
