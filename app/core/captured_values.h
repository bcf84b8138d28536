// SPDX-License-Identifier: GPL-3.0-or-later
// What the program shows of a captured field: its value percent-decoded and
// converted to Shift_JIS by the character code of the capture.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "capture/form_body.h"
#include "capture/vote.h"

namespace postori {

// Percent-decodes `raw_value` (up to the first decoded zero byte) and turns
// it into Shift_JIS: from EUC-JP or UTF-8 by the converters, unchanged when
// the values are Shift_JIS already.
[[nodiscard]] std::string value_as_sjis(std::string_view raw_value, CodeChoice choice);

// Bytes in the code `choice` names as Shift_JIS: converted from EUC-JP or
// UTF-8, unchanged for Shift_JIS and when no code is chosen. Zero bytes
// stay.
[[nodiscard]] std::string bytes_as_sjis(std::string_view bytes, std::optional<CodeChoice> choice);

// The name a field's row shows, as Shift_JIS: a urlencoded name exactly as
// received (still percent-encoded), any other name read in `choice`.
[[nodiscard]] std::string field_name_as_sjis(const FormField& field, std::optional<CodeChoice> choice);

// The name a field has, read in `choice` (a urlencoded one percent-decoded
// first), as Shift_JIS.
[[nodiscard]] std::string field_decoded_name_as_sjis(const FormField& field, std::optional<CodeChoice> choice);

// The value a field's row shows, as Shift_JIS: a urlencoded value
// percent-decoded (up to a decoded zero byte) and read in `choice`, a text
// value read in `choice` as it is, and for a file what a person needs of it:
// "見積書.pdf（application/pdf、15 バイト）", or "（ファイルなし）" for a
// file input left empty.
[[nodiscard]] std::string field_value_as_sjis(const FormField& field, std::optional<CodeChoice> choice);

// A count of bytes as people read it: "3,145,728".
[[nodiscard]] std::string grouped_digits(std::uint64_t number);

// A text as the window shows it, in UTF-8: Shift_JIS bytes up to the first
// zero byte (a window text ends there), decoded (code page 932; a byte that
// is no character becomes U+FFFD).
[[nodiscard]] std::string shown_as_utf8(std::string_view sjis);

// The codes a capture's values are read in, in the order of the main
// window's buttons from IDC_EUC on, with their names: as the buttons show
// them, and as --code and the JSON output spell them.
struct CodeNames {
    CodeChoice code;
    const char* button;
    const char* option;
};
inline constexpr CodeNames CODE_NAMES[] = {
    {CodeChoice::EucJp, "EUC", "euc"},
    {CodeChoice::ShiftJis, "Shift-JIS", "sjis"},
    {CodeChoice::Utf8, "UTF-8", "utf8"},
};
[[nodiscard]] const CodeNames& code_names(CodeChoice choice);

// The name of a code choice as the main window's buttons show it.
[[nodiscard]] inline const char* code_choice_name(CodeChoice choice) {
    return code_names(choice).button;
}

}  // namespace postori
