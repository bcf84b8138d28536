// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/captured_values.h"

#include "app/core/resources.h"
#include "capture/form_body.h"
#include "codec/convert.h"
#include "codec/display.h"

namespace postori {

std::string value_as_sjis(std::string_view raw_value, CodeChoice choice) {
    const std::string decoded = decode_value(raw_value);
    switch (choice) {
        case CodeChoice::EucJp:
            return euc_to_sjis(decoded);
        case CodeChoice::Utf8:
            return utf8_to_sjis(decoded);
        case CodeChoice::ShiftJis:
            break;
    }
    return decoded;
}

std::string bytes_as_sjis(std::string_view bytes, std::optional<CodeChoice> choice) {
    if (!choice) {
        return std::string(bytes);
    }
    switch (*choice) {
        case CodeChoice::EucJp:
            return euc_to_sjis(std::string(bytes));
        case CodeChoice::Utf8:
            return utf8_to_sjis(std::string(bytes));
        case CodeChoice::ShiftJis:
            break;
    }
    return std::string(bytes);
}

std::string field_name_as_sjis(const FormField& field, std::optional<CodeChoice> choice) {
    return field.kind == FieldKind::Urlencoded ? field.name : bytes_as_sjis(field.name, choice);
}

std::string field_decoded_name_as_sjis(const FormField& field, std::optional<CodeChoice> choice) {
    return bytes_as_sjis(field_name_bytes(field), choice);
}

std::string field_value_as_sjis(const FormField& field, std::optional<CodeChoice> choice) {
    if (field.kind != FieldKind::File) {
        return bytes_as_sjis(field_value_bytes(field), choice);
    }
    const FileInfo& file = field.file;
    if (file.filename.empty() && file.size == 0) {
        return std::string(text::FILE_NONE.sjis());
    }
    std::string shown = bytes_as_sjis(file.filename, choice);
    shown += text::FILE_OPEN.sjis();
    if (!file.content_type.empty()) {
        shown += bytes_as_sjis(file.content_type, choice);
        shown += text::FILE_SEPARATOR.sjis();
    }
    shown += grouped_digits(file.size);
    shown += text::FILE_BYTES.sjis();
    return shown;
}

std::string grouped_digits(std::uint64_t number) {
    std::string digits = std::to_string(number);
    for (std::size_t k = digits.size(); k > 3; k -= 3) {
        digits.insert(k - 3, 1, ',');
    }
    return digits;
}

std::string shown_as_utf8(std::string_view sjis) {
    return sjis_to_utf8(sjis.substr(0, sjis.find('\0')));
}

const CodeNames& code_names(CodeChoice choice) {
    for (const CodeNames& names : CODE_NAMES) {
        if (names.code == choice) {
            return names;
        }
    }
    // A value outside the enumeration reads as the first code, as the
    // listener's zeroed choice does.
    return CODE_NAMES[0];
}

}  // namespace postori
