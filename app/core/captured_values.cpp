// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/captured_values.h"

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

std::string shown_as_utf8(std::string_view sjis) {
    return sjis_to_utf8(sjis.substr(0, sjis.find('\0')));
}

const char* code_choice_name(CodeChoice choice) {
    switch (choice) {
        case CodeChoice::EucJp:
            return "EUC";
        case CodeChoice::ShiftJis:
            return "Shift-JIS";
        case CodeChoice::Utf8:
            return "UTF-8";
    }
    return "?";
}

}  // namespace postori
