// SPDX-License-Identifier: GPL-3.0-or-later
// The capture as postori-capture --json prints it, for scripts: one JSON
// object on one line, always valid JSON in valid UTF-8 whatever bytes came.
//
//   {"code":"euc","voted":true,"fields":[
//     {"name":"%A4%AA%CC%BE%C1%B0","decoded_name":"お名前","value":"山田"}, ...]}
//
// "code" is the code the values were read as ("euc", "sjis" or "utf8") and
// "voted" whether the vote over the values chose it. Each field, in the
// order of the body, has "name", its name as received (and as the window
// shows it: its bytes read as Shift_JIS, so an encoded name stays as it
// came), "decoded_name", that name percent-decoded and read in the same code
// as the values, and "value", its value as the window shows it:
// percent-decoded, converted to Shift_JIS by the code, and decoded from
// Shift_JIS to UTF-8. Like the window's texts, each text ends at its first
// zero byte, and bytes that are no character become U+FFFD.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "capture/form_body.h"
#include "capture/vote.h"

namespace postori {

// `text` as a JSON string, quotes included: valid UTF-8 is kept, each
// ill-formed sequence becomes one U+FFFD (a maximal subpart each, as the
// Unicode standard recommends), '"' and '\' are escaped, and so is every
// control character below 0x20 (as \b \f \n \r \t or \u00XX).
[[nodiscard]] std::string json_string(std::string_view text);

// The capture's JSON object, ending in a line break.
[[nodiscard]] std::string capture_json(const std::vector<FormField>& fields, CodeChoice code, bool voted);

}  // namespace postori
