// SPDX-License-Identifier: GPL-3.0-or-later
// The vote on the character code of a captured form: every value is
// percent-decoded and detected, and the code that most values are surely
// written in wins. Pure functions over the fields; no sockets, no threads.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "capture/form_body.h"

namespace postori {

// The character code of the captured values, and so the code they are
// converted from.
enum class CodeChoice : std::int32_t {
    EucJp = 0,
    ShiftJis = 1,
    Utf8 = 2,
};

// Most bytes of each decoded value the detector looks at.
inline constexpr std::uint32_t DETECT_LIMIT = 8192;

// The code with the most votes; ties go first to EUC-JP, then to UTF-8, then
// to Shift_JIS, and no votes at all give EUC-JP.
[[nodiscard]] CodeChoice vote_code_choice(std::int32_t sjis_votes, std::int32_t euc_votes, std::int32_t utf8_votes);

// Votes over the values of `fields`: each is taken as bytes in the form's
// code (field_value_bytes: a urlencoded value percent-decoded) and detected
// up to DETECT_LIMIT bytes, and a value whose `sure` kind is Shift_JIS,
// EUC-JP or UTF-8 casts one vote; any other kind (Unknown, ASCII, JIS,
// UTF-16, UTF-32) casts none, and so does a file (its contents are never
// kept).
[[nodiscard]] CodeChoice vote_over_fields(const std::vector<FormField>& fields);

// The code a charset label names: "UTF-8", "Shift_JIS" or "EUC-JP" and the
// usual other labels of the same codes ("utf8", "sjis", "windows-31j",
// "x-euc-jp", ...), in any letter case, white space around ignored.
[[nodiscard]] std::optional<CodeChoice> charset_label_code(std::string_view label);

// The name of the field browsers fill in with the code of the submission.
inline constexpr std::string_view CHARSET_FIELD_NAME = "_charset_";

// The code the form declares: the value of its first field named
// "_charset_" (in any letter case), when that names one of the three codes.
[[nodiscard]] std::optional<CodeChoice> declared_code(const std::vector<FormField>& fields);

}  // namespace postori
