// SPDX-License-Identifier: GPL-3.0-or-later
// The editing of a value box, without any window: its text held exactly (line
// ends as received), the lines by the rule of value_text.h, the cursor and
// the anchor of the selection, the cursor's steps, and undo one level deep as
// in an ordinary edit box (a second undo redoes).
//
// Positions are UTF-16 unit boundaries of the text, never inside a CR LF or
// a surrogate pair. The box measures and draws; vertical movement, which
// needs the glyphs' widths, is the box's, through move_to().
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/value_text.h"

namespace postori {

// A step of the cursor that needs no measuring.
enum class CursorStep {
    NextChar,
    PreviousChar,
    NextWord,
    PreviousWord,
    LineStart,
    LineEnd,
    TextStart,
    TextEnd,
};

// What one change did to the text: at `at`, the units `removed` went and
// `inserted` units came (those now at at .. at + inserted).
struct TextChange {
    std::size_t at = 0;
    std::u16string removed;
    std::size_t inserted = 0;
    [[nodiscard]] bool empty() const { return removed.empty() && inserted == 0; }
};

class ValueEdit {
public:
    ValueEdit();

    // Replaces the whole text: the cursor goes to its start, nothing is
    // selected and nothing can be undone.
    void set_text(std::u16string text);

    [[nodiscard]] const std::u16string& text() const { return text_; }
    [[nodiscard]] const std::vector<TextLine>& lines() const { return lines_; }
    [[nodiscard]] std::size_t cursor() const { return cursor_; }
    [[nodiscard]] std::size_t anchor() const { return anchor_; }
    // The line holding the cursor.
    [[nodiscard]] std::size_t cursor_line() const { return line_of(lines_, cursor_); }

    // The selection: the text between the anchor and the cursor.
    [[nodiscard]] bool has_selection() const { return cursor_ != anchor_; }
    [[nodiscard]] UnitRange selection() const;
    [[nodiscard]] std::u16string_view selected_text() const;

    // Puts the cursor at `position` (made a valid position), keeping the
    // anchor where it is when `keep_anchor`, else bringing it along.
    void move_to(std::size_t position, bool keep_anchor = false);
    // Where `step` takes the cursor.
    [[nodiscard]] std::size_t target_of(CursorStep step) const;
    // Selects from `anchor` to `cursor` (both made valid positions).
    void select(std::size_t anchor, std::size_t cursor);
    void select_all() { select(0, text_.size()); }
    // Selects the word around `position` (a double click).
    void select_word_at(std::size_t position);

    // Replaces the selection (or inserts at the cursor) with `with`; the
    // cursor ends after it. Typing (`typing`) right after typing at the same
    // place joins the change before it, so one undo takes the run back.
    TextChange replace_selection(std::u16string_view with, bool typing = false);
    // Deletes the selection, or when there is none the text between the
    // cursor and `other` (Backspace, Delete and their word forms).
    TextChange erase_to(std::size_t other);
    // Replaces the units from `from` to `to` with `with`, the cursor after
    // it (an assistive tool's edit).
    TextChange replace_range(std::size_t from, std::size_t to, std::u16string_view with);

    // Undoes the last change and selects nothing; the next undo redoes it.
    [[nodiscard]] bool can_undo() const { return can_undo_; }
    TextChange undo();

    // True once the text was changed by editing since it was last set.
    [[nodiscard]] bool edited() const { return edited_; }

private:
    TextChange apply(std::size_t at, std::size_t length, std::u16string_view with, bool typing);

    std::u16string text_;
    std::vector<TextLine> lines_;
    std::size_t cursor_ = 0;
    std::size_t anchor_ = 0;

    // Undo: the last change as what it took away and how much it put in,
    // and the cursor before it.
    bool can_undo_ = false;
    std::size_t undo_at_ = 0;
    std::size_t undo_inserted_ = 0;
    std::u16string undo_removed_;
    std::size_t undo_cursor_ = 0;
    // Typing that more typing at the cursor joins.
    bool typing_run_ = false;
    bool edited_ = false;
};

}  // namespace postori
