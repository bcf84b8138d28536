// SPDX-License-Identifier: GPL-3.0-or-later
// A strict reader, written apart from the code under test, for the JSON the
// programs print for scripts. It takes only valid JSON (RFC 8259) in valid
// UTF-8 and only the kinds the programs print: objects (members kept in
// order), arrays, strings, true and false, and whole numbers from 0 (a
// file's size). No null, no sign, fraction or exponent and no \u escape of
// a surrogate, since the writers print none.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postori::test_support {

struct JsonMember;

struct JsonValue {
    enum class Kind { Bool, Number, String, Array, Object };
    Kind kind = Kind::Bool;
    bool boolean = false;
    std::uint64_t number = 0;
    std::string string;  // UTF-8, escapes resolved
    std::vector<JsonValue> items;
    std::vector<JsonMember> members;

    // The first member named `key`, or nullptr (also when not an object).
    [[nodiscard]] const JsonValue* member(std::string_view key) const;
};

struct JsonMember {
    std::string name;
    JsonValue value;
};

// `text` as one JSON value with optional white space around it, or nullopt.
[[nodiscard]] std::optional<JsonValue> parse_json(std::string_view text);

// Whether `bytes` are well-formed UTF-8: no overlong forms, no surrogates,
// nothing above U+10FFFF.
[[nodiscard]] bool valid_utf8(std::string_view bytes);

}  // namespace postori::test_support
