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
#include <vector>

#include "app/core/capture_run.h"
#include "app/core/result_layout.h"
#include "capture/form_body.h"

namespace {

// The rows as they are added, each checked against the field it shows, so
// that a body of a thousand fields costs no copies of them.
class CheckedRows final : public postori::ResultRows {
public:
    explicit CheckedRows(const std::vector<postori::FormField>& fields) : fields_(fields) {}

    void clear_rows() override {
        rows_ = 0;
        bottom_ = 0;
    }
    int client_width() const override { return 442; }
    void add_row(std::string_view name, std::string_view value, int lines, int top, int) override {
        // A converted value may hold zero bytes (invalid UTF-8 such as C0 80
        // decodes to U+0000); like its window text, its lines end at the first.
        std::int32_t returns = 0;
        for (const char c : value.substr(0, value.find('\0'))) {
            returns += c == '\r' ? 1 : 0;
        }
        const bool lines_right =
            lines >= 1 && lines <= postori::MAX_ROW_LINES && lines == postori::row_line_count(returns);
        if (rows_ >= fields_.size() || !lines_right || top != bottom_ || name != fields_[rows_].name) {
            std::abort();
        }
        ++rows_;
        bottom_ += lines * postori::LINE_HEIGHT;
    }
    void set_scroll_extent(std::int64_t total_height) override { extent_ = total_height; }

    // Whether every field got its row and the extent is their height.
    [[nodiscard]] bool complete() const { return rows_ == fields_.size() && extent_ == bottom_; }

private:
    const std::vector<postori::FormField>& fields_;
    std::size_t rows_ = 0;
    int bottom_ = 0;
    std::int64_t extent_ = -1;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int pick = data[0] % 4;
    const std::optional<postori::CodeChoice> code =
        pick == 0 ? std::nullopt : std::optional(static_cast<postori::CodeChoice>(pick - 1));
    std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::vector<postori::FormField> fields = postori::collect_fields(body.data());

    CheckedRows rows(fields);
    postori::show_fields(rows, fields, code);
    if (!rows.complete()) {
        std::abort();
    }
    return 0;
}
