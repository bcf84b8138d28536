#include "app/core/captured_values.h"

#include "capture/form_body.h"
#include "codec/convert.h"

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
