// SPDX-License-Identifier: GPL-3.0-or-later
// The rows the result view shows for a capture, as data: what each box
// holds and where the row stands. The window makes its boxes from them and
// computes nothing of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "capture/form_body.h"
#include "capture/vote.h"

namespace postori {

// One field's row. Texts are Shift_JIS byte strings, as the boxes are given
// them.
struct ResultRow {
    // The name box's text: the name as the field's row shows it.
    std::string name;
    // What the field is called, read in the code: the value box's name for
    // screen readers.
    std::string decoded_name;
    // The value box's text, line ends as received.
    std::string value;
    // The row's lines (1 to MAX_ROW_LINES), from the value's carriage
    // returns, and its top in pixels below the first row's.
    int lines = 1;
    int top = 0;
    friend bool operator==(const ResultRow&, const ResultRow&) = default;
};

// The rows of `fields`, in order, one below the other, each read in `code`
// (none: as they came).
[[nodiscard]] std::vector<ResultRow> result_rows(const std::vector<FormField>& fields, std::optional<CodeChoice> code);

// The height of `rows` together: where the last one ends (0 for none).
[[nodiscard]] std::int64_t rows_height(const std::vector<ResultRow>& rows);

}  // namespace postori
