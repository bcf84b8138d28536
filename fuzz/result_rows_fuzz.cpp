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

class RecordedRows final : public postori::ResultRows {
public:
    struct Row {
        std::string name;
        std::string value;
        int lines;
        int top;
    };
    std::vector<Row> rows;
    std::int64_t extent = -1;

    void clear_rows() override { rows.clear(); }
    int client_width() const override { return 442; }
    void add_row(std::string_view name, std::string_view value, int lines, int top, int) override {
        rows.push_back({std::string(name), std::string(value), lines, top});
    }
    void set_scroll_extent(std::int64_t total_height) override { extent = total_height; }
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

    RecordedRows rows;
    postori::show_fields(rows, fields, code);
    if (rows.rows.size() != fields.size()) {
        std::abort();
    }
    int expected_top = 0;
    for (std::size_t i = 0; i < rows.rows.size(); ++i) {
        const RecordedRows::Row& row = rows.rows[i];
        // A converted value may hold zero bytes (invalid UTF-8 such as C0 80
        // decodes to U+0000); like its window text, its lines end at the first.
        std::int32_t returns = 0;
        for (const char c : row.value.substr(0, row.value.find('\0'))) {
            returns += c == '\r' ? 1 : 0;
        }
        const bool lines_right =
            row.lines >= 1 && row.lines <= postori::MAX_ROW_LINES && row.lines == postori::row_line_count(returns);
        if (!lines_right || row.top != expected_top || row.name != fields[i].name) {
            std::abort();
        }
        expected_top += row.lines * postori::LINE_HEIGHT;
    }
    if (rows.extent != expected_top) {
        std::abort();
    }
    return 0;
}
