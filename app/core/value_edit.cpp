// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/value_edit.h"

#include <algorithm>
#include <utility>

namespace postori {

ValueEdit::ValueEdit() : lines_(split_lines({})) {}

void ValueEdit::set_text(std::u16string text) {
    text_ = std::move(text);
    lines_ = split_lines(text_);
    cursor_ = anchor_ = 0;
    can_undo_ = false;
    typing_run_ = false;
    undo_removed_.clear();
    edited_ = false;
}

UnitRange ValueEdit::selection() const {
    return {std::min(cursor_, anchor_), std::max(cursor_, anchor_)};
}

std::u16string_view ValueEdit::selected_text() const {
    const UnitRange range = selection();
    return std::u16string_view(text_).substr(range.begin, range.end - range.begin);
}

void ValueEdit::move_to(std::size_t position, bool keep_anchor) {
    cursor_ = valid_position(text_, position);
    if (!keep_anchor) {
        anchor_ = cursor_;
    }
    typing_run_ = false;
}

std::size_t ValueEdit::target_of(CursorStep step) const {
    const TextLine& line = lines_[cursor_line()];
    switch (step) {
        case CursorStep::NextChar:
            return next_position(text_, cursor_);
        case CursorStep::PreviousChar:
            return previous_position(text_, cursor_);
        case CursorStep::NextWord:
            return next_word_start(text_, cursor_);
        case CursorStep::PreviousWord:
            return previous_word_start(text_, cursor_);
        case CursorStep::LineStart:
            return line.start;
        case CursorStep::LineEnd:
            return line.end_position();
        case CursorStep::TextStart:
            return 0;
        case CursorStep::TextEnd:
            break;
    }
    return text_.size();
}

void ValueEdit::select(std::size_t anchor, std::size_t cursor) {
    anchor_ = valid_position(text_, anchor);
    cursor_ = valid_position(text_, cursor);
    typing_run_ = false;
}

void ValueEdit::select_word_at(std::size_t position) {
    const UnitRange word = word_at(text_, position);
    select(word.begin, word.end);
}

TextChange ValueEdit::replace_selection(std::u16string_view with, bool typing) {
    const UnitRange range = selection();
    return apply(range.begin, range.end - range.begin, with, typing);
}

TextChange ValueEdit::erase_to(std::size_t other) {
    if (!has_selection()) {
        anchor_ = valid_position(text_, other);
    }
    if (!has_selection()) {
        return {cursor_, {}, 0};
    }
    return replace_selection({});
}

TextChange ValueEdit::replace_range(std::size_t from, std::size_t to, std::u16string_view with) {
    from = valid_position(text_, from);
    to = valid_position(text_, to);
    if (to < from) {
        std::swap(from, to);
    }
    return apply(from, to - from, with, false);
}

TextChange ValueEdit::apply(std::size_t at, std::size_t length, std::u16string_view with, bool typing) {
    // Typing joins the change before it while nothing else happened between
    // and it goes on where that one ended.
    const bool joins = typing && typing_run_ && can_undo_ && length == 0 && at == undo_at_ + undo_inserted_;
    if (joins) {
        undo_inserted_ += with.size();
    } else {
        undo_at_ = at;
        undo_inserted_ = with.size();
        undo_removed_.assign(text_, at, length);
        undo_cursor_ = at;
    }
    can_undo_ = true;
    TextChange change{at, text_.substr(at, length), with.size()};
    text_.replace(at, length, with);
    lines_ = split_lines(text_);
    // The cursor goes after what came in; where that made a pair with the
    // text after it (a CR typed before an LF), after the pair.
    std::size_t end = at + with.size();
    if (valid_position(text_, end) != end) {
        ++end;
    }
    cursor_ = anchor_ = end;
    typing_run_ = typing;
    edited_ = true;
    return change;
}

TextChange ValueEdit::undo() {
    if (!can_undo_) {
        return {cursor_, {}, 0};
    }
    // The change's inverse becomes the change an undo takes back.
    std::u16string put_back = std::exchange(undo_removed_, text_.substr(undo_at_, undo_inserted_));
    TextChange change{undo_at_, undo_removed_, put_back.size()};
    text_.replace(undo_at_, undo_inserted_, put_back);
    lines_ = split_lines(text_);
    undo_inserted_ = put_back.size();
    cursor_ = anchor_ = valid_position(text_, std::exchange(undo_cursor_, cursor_));
    typing_run_ = false;
    edited_ = true;
    return change;
}

}  // namespace postori
