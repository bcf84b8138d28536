// SPDX-License-Identifier: GPL-3.0-or-later
// The capture as postori-capture --json prints it, for scripts: one JSON
// object on one line, always valid JSON in valid UTF-8 whatever bytes came.
//
//   {"code":"euc","voted":true,"chosen_by":"vote",
//    "content_type":"application/x-www-form-urlencoded","complete":true,
//    "fields":[{"name":"%A4%AA%CC%BE%C1%B0","decoded_name":"お名前","value":"山田"}, ...]}
//
// "code" is the code the values were read as ("euc", "sjis" or "utf8");
// "chosen_by" what chose it: "vote" (the vote over the values), "_charset_"
// (the form's own "_charset_" field) or "option" (--code); "voted" is true
// unless --code chose it. "content_type" is the request's media type (""
// when it named none), and "complete" false when part of the body is
// missing from the fields (its peer closed early, or it sent more than is
// kept). Each field, in the order of the body, has "name", its name as the
// window shows it (a urlencoded name as received, its bytes read as
// Shift_JIS, so an encoded name stays as it came; any other read in the
// code), "decoded_name", that name percent-decoded where it was encoded and
// read in the code, and "value", its value as the window shows it. A file
// field also has "file": {"filename": ..., "content_type": ..., "size": N}.
// Texts are converted to Shift_JIS by the code and decoded from Shift_JIS to
// UTF-8; like the window's texts, each ends at its first zero byte, and
// bytes that are no character become U+FFFD.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/core/capture_run.h"
#include "capture/capture_job.h"

namespace postori {

// `text` as a JSON string, quotes included: valid UTF-8 is kept, each
// ill-formed sequence becomes one U+FFFD (a maximal subpart each, as the
// Unicode standard recommends), '"' and '\' are escaped, and so is every
// control character below 0x20 (as \b \f \n \r \t or \u00XX).
[[nodiscard]] std::string json_string(std::string_view text);

// The capture's JSON object, its values read in `code` as `source` chose
// it, ending in a line break.
[[nodiscard]] std::string capture_json(const CaptureResult& result, CodeChoice code, CodeSource source);

}  // namespace postori
