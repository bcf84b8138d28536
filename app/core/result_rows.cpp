// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/result_rows.h"

#include "app/core/captured_values.h"
#include "app/core/result_layout.h"

namespace postori {

std::vector<ResultRow> result_rows(const std::vector<FormField>& fields, std::optional<CodeChoice> code) {
    std::vector<ResultRow> rows;
    rows.reserve(fields.size());
    // At most MAX_FIELDS rows of at most MAX_ROW_LINES lines: the top stays
    // far inside an int.
    int top = 0;
    for (const FormField& field : fields) {
        ResultRow& row = rows.emplace_back();
        row.name = field_name_as_sjis(field, code);
        row.decoded_name = field_decoded_name_as_sjis(field, code);
        row.value = field_value_as_sjis(field, code);
        row.lines = row_line_count(count_char(row.value.c_str(), '\r'));
        row.top = top;
        top += row.lines * LINE_HEIGHT;
    }
    return rows;
}

std::int64_t rows_height(const std::vector<ResultRow>& rows) {
    return rows.empty() ? 0 : std::int64_t{rows.back().top} + std::int64_t{rows.back().lines} * LINE_HEIGHT;
}

}  // namespace postori
