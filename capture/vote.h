// SPDX-License-Identifier: GPL-3.0-or-later
// The vote on the character code of a captured form: every value is
// percent-decoded and detected, and the code that most values are surely
// written in wins. Pure functions over the fields; no sockets, no threads.
#pragma once

#include <cstdint>
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

// Votes over the values of `fields`: each is percent-decoded (decode_value)
// and detected up to DETECT_LIMIT bytes, and a value whose `sure` kind is
// Shift_JIS, EUC-JP or UTF-8 casts one vote; any other kind (Unknown, ASCII,
// JIS, UTF-16, UTF-32) casts none.
[[nodiscard]] CodeChoice vote_over_fields(const std::vector<FormField>& fields);

}  // namespace postori
