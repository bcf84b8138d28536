// SPDX-License-Identifier: GPL-3.0-or-later
// The text of a value box: where its lines end, how the cursor steps through
// it, and the arithmetic of showing it in a box of whole lines that scrolls
// sideways to its cursor.
//
// The line rule agrees with the row's height, which counts carriage returns:
// a carriage return ends a line, and a CR LF pair ends it as one line end. A
// line feed on its own does not end a line; the box shows it as a mark where
// it stands. So a value with n carriage returns has n + 1 lines, and the box
// holds the text exactly as it came: what is copied from it has the line ends
// the form sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace postori {

// How a line ends.
enum class LineEnd : std::uint8_t {
    None,  // the last line: the text ends
    CrLf,  // CR LF
    Cr,    // a carriage return alone
};

// One line of a text, in UTF-16 units.
struct TextLine {
    std::size_t start = 0;   // its first unit
    std::size_t length = 0;  // its units, without its line end
    LineEnd end = LineEnd::None;

    // Where the line's end starts, and where the next line starts.
    [[nodiscard]] std::size_t end_position() const { return start + length; }
    [[nodiscard]] std::size_t next_start() const;
    friend bool operator==(const TextLine&, const TextLine&) = default;
};

// The lines of `text`: one more than its carriage returns, never none.
[[nodiscard]] std::vector<TextLine> split_lines(std::u16string_view text);

// The line holding `position` (a unit boundary of the text the lines were
// split from): the last line whose start is at or before it.
[[nodiscard]] std::size_t line_of(const std::vector<TextLine>& lines, std::size_t position);

// The line end of a line the user makes (Ctrl+Enter): CR LF, as browsers
// send the lines of a text area.
inline constexpr std::u16string_view TYPED_LINE_END = u"\r\n";

// True for a unit the box shows as a mark instead of a glyph: the control
// characters other than carriage return and tab (a lone line feed among
// them), and DEL.
[[nodiscard]] bool shown_as_mark(char16_t unit);

// The cursor's steps: the position after or before `position`, a CR LF pair
// (and a surrogate pair) being one step. At the text's end (or start) the
// position stays.
[[nodiscard]] std::size_t next_position(std::u16string_view text, std::size_t position);
[[nodiscard]] std::size_t previous_position(std::u16string_view text, std::size_t position);
// `position` clamped to the text and moved off the middle of a pair (onto
// its first unit).
[[nodiscard]] std::size_t valid_position(std::u16string_view text, std::size_t position);

// Word steps (Ctrl+Left/Right, a double click): a word is a run of units of
// one kind (letters and digits, hiragana, katakana, kanji, punctuation);
// spaces between words belong to no word.
// The start of the word after `position` (or the text's end), skipping
// spaces; a line end is a stop of its own.
[[nodiscard]] std::size_t next_word_start(std::u16string_view text, std::size_t position);
// The start of the word before `position` (or 0).
[[nodiscard]] std::size_t previous_word_start(std::u16string_view text, std::size_t position);
// The word around `position`: its first unit and the unit after it (empty
// at a line end, a run of spaces when the position is in spaces).
struct UnitRange {
    std::size_t begin = 0;
    std::size_t end = 0;
    friend bool operator==(const UnitRange&, const UnitRange&) = default;
};
[[nodiscard]] UnitRange word_at(std::u16string_view text, std::size_t position);

// Where the unit boundaries of a line stand, as x from the line's start:
// edge 0 is 0, edge i + 1 is edge i plus the advance of unit i.
// The boundary nearest to `x` (before the first edge: 0; past the last: the
// last).
[[nodiscard]] std::size_t boundary_at_x(const std::vector<double>& edges, double x);
// The first unit whose right edge lies beyond `x`: where drawing from x
// starts (the number of units when none does).
[[nodiscard]] std::size_t first_unit_past(const std::vector<double>& edges, double x);

// Sideways scrolling: the scroll (x of the view's left in the line) that
// shows `x` in a view `width` wide, moving as little as it can and keeping a
// `margin` beside the cursor where the line goes on. Never below 0.
[[nodiscard]] double scroll_to_show(double scroll, double x, double width, double margin);

// The whole lines a box of `text_height` pixels shows with lines of
// `line_height`; at least 1.
[[nodiscard]] int whole_lines(int text_height, int line_height);
// The highest first line of a box showing `shown` of `count` lines.
[[nodiscard]] int last_first_line(int count, int shown);
// The first line that shows `line` in a box now showing from `first`,
// moving as little as it can.
[[nodiscard]] int first_line_to_show(int first, int line, int shown);

}  // namespace postori
