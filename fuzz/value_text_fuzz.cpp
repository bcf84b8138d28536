// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the text of a value box (UTF-16 units, little-endian pairs):
// its lines must cover the text one after another, one more than its
// carriage returns, none holding a carriage return; and at every position the
// cursor's steps must stay on valid positions, move the way they say, and
// come back: a step forward and one back is where it started. Then the same
// units, read as a script of edits on the text (moves, selections, typing,
// erasing, pasting a piece of it, undo), must keep the edit's lines those of
// its text and its cursor and anchor on valid positions, and an undo and a
// redo must give back the text they started from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/core/value_edit.h"
#include "app/core/value_text.h"

namespace {

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Every position is walked with word steps that may cross the whole
    // text: keep it short.
    constexpr std::size_t MOST_UNITS = 2000;
    std::u16string text;
    for (std::size_t k = 0; k + 1 < size && text.size() < MOST_UNITS; k += 2) {
        text.push_back(static_cast<char16_t>(data[k] | (data[k + 1] << 8)));
    }
    using namespace postori;

    const std::vector<TextLine> lines = split_lines(text);
    std::size_t returns = 0;
    for (const char16_t unit : text) {
        returns += unit == u'\r' ? 1 : 0;
    }
    check(lines.size() == returns + 1);
    std::size_t start = 0;
    for (const TextLine& line : lines) {
        check(line.start == start);
        for (std::size_t k = line.start; k < line.end_position(); ++k) {
            check(text[k] != u'\r');
        }
        check(line.end == LineEnd::None || text[line.end_position()] == u'\r');
        check((line.end == LineEnd::CrLf) == (line.end != LineEnd::None && line.end_position() + 1 < text.size() &&
                                              text[line.end_position() + 1] == u'\n'));
        start = line.next_start();
    }
    check(start == text.size() && lines.back().end == LineEnd::None);

    for (std::size_t position = 0; position <= text.size(); ++position) {
        const std::size_t valid = valid_position(text, position);
        check(valid <= position && position - valid <= 1 && valid_position(text, valid) == valid);
        const std::size_t next = next_position(text, position);
        const std::size_t previous = previous_position(text, position);
        check(valid_position(text, next) == next && valid_position(text, previous) == previous);
        check(valid == text.size() ? next == valid : next > valid && next - valid <= 2);
        check(valid == 0 ? previous == 0 : previous < valid && valid - previous <= 2);
        check(valid == text.size() || previous_position(text, next) == valid);
        const std::size_t line = line_of(lines, valid);
        check(lines[line].start <= valid && valid <= lines[line].end_position());
        const std::size_t word_after = next_word_start(text, position);
        const std::size_t word_before = previous_word_start(text, position);
        check(word_after <= text.size() && (word_after > valid || valid == text.size()));
        check(word_before <= valid && (word_before < valid || valid == 0));
        const UnitRange word = word_at(text, position);
        check(word.begin <= word.end && word.end <= text.size());
    }

    ValueEdit edit;
    edit.set_text(text);
    constexpr std::size_t MOST_EDITS = 64;
    for (std::size_t k = 0; k < text.size() && k < MOST_EDITS; ++k) {
        const std::size_t at = text[k] >> 3;
        switch (text[k] % 7) {
            case 0:
                edit.move_to(at, (at & 1) != 0);
                break;
            case 1:
                edit.select(at, at / 2);
                break;
            case 2:
                edit.replace_selection(std::u16string_view(text).substr(k, 1 + at % 3), (at & 1) != 0);
                break;
            case 3:
                edit.replace_selection(TYPED_LINE_END);
                break;
            case 4:
                edit.erase_to(edit.target_of(static_cast<CursorStep>(at % 8)));
                break;
            case 5:
                edit.replace_range(at, at / 3, std::u16string_view(text).substr(0, at % 4));
                break;
            default:
                if (edit.can_undo()) {
                    const std::u16string before = edit.text();
                    edit.undo();
                    edit.undo();
                    check(edit.text() == before);
                }
                break;
        }
        const std::u16string& now = edit.text();
        check(edit.lines() == split_lines(now));
        check(valid_position(now, edit.cursor()) == edit.cursor() &&
              valid_position(now, edit.anchor()) == edit.anchor());
    }
    return 0;
}
