// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a captured form through postori-capture's JSON writer. The
// first byte picks the code (bits 0-1), whether it was voted (bit 2) and
// how the rest becomes fields (bit 3): a body split as the listener splits
// it, or fields given whole, each as a name length, a value length and the
// bytes, so names and values may hold any byte, zero included; those are
// text fields, or files whose filename is the value (bit 4). The output
// must be one line of valid UTF-8 that a strict JSON reader takes, with the
// code, the vote and one object of three texts per field (a file's details
// besides), none holding a U+0000 (the texts end at their first zero byte). The rest given to
// json_string alone must read back as itself when it is valid UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/capture_json.h"
#include "app/core/capture_options.h"
#include "capture/form_body.h"
#include "tests/support/json.h"

namespace {

using postori::test_support::JsonValue;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::vector<postori::FormField> fields_given_whole(std::string_view rest, bool files) {
    std::vector<postori::FormField> fields;
    while (rest.size() >= 2) {
        const std::size_t name_length = static_cast<unsigned char>(rest[0]);
        const std::size_t value_length = static_cast<unsigned char>(rest[1]);
        rest.remove_prefix(2);
        const std::string_view name = rest.substr(0, name_length);
        rest.remove_prefix(name.size());
        const std::string_view value = rest.substr(0, value_length);
        rest.remove_prefix(value.size());
        postori::FormField field{std::string(name), std::string(value), postori::FieldKind::Text};
        if (files) {
            field.kind = postori::FieldKind::File;
            field.file = {std::string(value), "text/plain", value.size()};
            field.value.clear();
        }
        fields.push_back(std::move(field));
    }
    return fields;
}

bool is_text_without_zero(const JsonValue* value) {
    return value != nullptr && value->kind == JsonValue::Kind::String && value->string.find('\0') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const auto code = static_cast<postori::CodeChoice>((data[0] & 3) % 3);
    const bool voted = (data[0] & 4) != 0;
    const auto source = voted ? postori::CodeSource::Vote : postori::CodeSource::Settings;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    const std::string literal = postori::json_string(rest);
    const std::optional<JsonValue> read = postori::test_support::parse_json(literal);
    check(read && read->kind == JsonValue::Kind::String);
    check(!postori::test_support::valid_utf8(rest) || read->string == rest);

    std::string body(rest);
    postori::CaptureResult result;
    result.fields =
        (data[0] & 8) != 0 ? fields_given_whole(rest, (data[0] & 16) != 0) : postori::collect_fields(body.data());
    const std::vector<postori::FormField>& fields = result.fields;
    const std::string json = postori::capture_json(result, code, source);
    check(postori::test_support::valid_utf8(json));
    check(json.ends_with("}\n") && json.find('\n') == json.size() - 1);
    const std::optional<JsonValue> capture = postori::test_support::parse_json(json);
    check(capture && capture->kind == JsonValue::Kind::Object && capture->members.size() == 6);
    const JsonValue* code_name = capture->member("code");
    check(code_name != nullptr && code_name->string == postori::code_option_name(code));
    const JsonValue* vote = capture->member("voted");
    check(vote != nullptr && vote->kind == JsonValue::Kind::Bool && vote->boolean == voted);
    const JsonValue* items = capture->member("fields");
    check(items != nullptr && items->kind == JsonValue::Kind::Array && items->items.size() == fields.size());
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const JsonValue& item = items->items[k];
        const bool file = fields[k].kind == postori::FieldKind::File;
        check(item.members.size() == (file ? 4U : 3U) && is_text_without_zero(item.member("name")) &&
              is_text_without_zero(item.member("decoded_name")) && is_text_without_zero(item.member("value")));
    }
    return 0;
}
