// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a captured form: the first byte picks the code the values are
// converted from (including none: no button checked), the rest is the body.
// Every field becomes a row as a completed capture shows it; each row must
// have 1 to 4 lines by its carriage returns, its name as received, the rows
// must follow one another without gaps, and the scroll extent must be their
// total height.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/result_layout.h"
#include "app/core/result_rows.h"
#include "capture/form_body.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int pick = data[0] % 4;
    const std::optional<postori::CodeChoice> code =
        pick == 0 ? std::nullopt : std::optional(static_cast<postori::CodeChoice>(pick - 1));
    std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::vector<postori::FormField> fields = postori::collect_fields(body.data());

    const std::vector<postori::ResultRow> rows = postori::result_rows(fields, code);
    if (rows.size() != fields.size()) {
        std::abort();
    }
    int bottom = 0;
    for (std::size_t k = 0; k < rows.size(); ++k) {
        const postori::ResultRow& row = rows[k];
        // A converted value may hold zero bytes (invalid UTF-8 such as C0 80
        // decodes to U+0000); like its window text, its lines end at the
        // first.
        std::int32_t returns = 0;
        for (const char c : std::string_view(row.value).substr(0, row.value.find('\0'))) {
            returns += c == '\r' ? 1 : 0;
        }
        const bool lines_right =
            row.lines >= 1 && row.lines <= postori::MAX_ROW_LINES && row.lines == postori::row_line_count(returns);
        if (!lines_right || row.top != bottom || row.name != fields[k].name) {
            std::abort();
        }
        bottom += row.lines * postori::LINE_HEIGHT;
    }
    if (postori::rows_height(rows) != bottom) {
        std::abort();
    }
    return 0;
}
