// SPDX-License-Identifier: GPL-3.0-or-later
// What the program shows of a captured field: its value percent-decoded and
// converted to Shift_JIS by the character code of the capture.
#pragma once

#include <string>
#include <string_view>

#include "capture/vote.h"

namespace postori {

// Percent-decodes `raw_value` (up to the first decoded zero byte) and turns
// it into Shift_JIS: from EUC-JP or UTF-8 by the converters, unchanged when
// the values are Shift_JIS already.
[[nodiscard]] std::string value_as_sjis(std::string_view raw_value, CodeChoice choice);

// A text as the window shows it, in UTF-8: Shift_JIS bytes up to the first
// zero byte (a window text ends there), decoded (code page 932; a byte that
// is no character becomes U+FFFD).
[[nodiscard]] std::string shown_as_utf8(std::string_view sjis);

// The name of a code choice as the main window's buttons show it.
[[nodiscard]] const char* code_choice_name(CodeChoice choice);

}  // namespace postori
