// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/value_text.h"

#include <algorithm>
#include <cmath>

namespace postori {
namespace {

constexpr char16_t CR = u'\r';
constexpr char16_t LF = u'\n';

enum class UnitKind : std::uint8_t { LineEnd, Space, Word, Hiragana, Katakana, Kanji, Other };

UnitKind kind_of(char16_t unit) {
    if (unit == CR) {
        return UnitKind::LineEnd;
    }
    if (unit == u' ' || unit == u'\t' || unit == u'\u3000') {
        return UnitKind::Space;
    }
    if ((unit >= u'0' && unit <= u'9') || (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z') ||
        unit == u'_' || (unit >= u'\u00C0' && unit <= u'\u024F' && unit != u'\u00D7' && unit != u'\u00F7') ||
        (unit >= u'\u0370' && unit <= u'\u04FF') || (unit >= u'\uFF10' && unit <= u'\uFF19') ||
        (unit >= u'\uFF21' && unit <= u'\uFF3A') || (unit >= u'\uFF41' && unit <= u'\uFF5A')) {
        return UnitKind::Word;
    }
    if (unit >= u'\u3041' && unit <= u'\u309F') {
        return UnitKind::Hiragana;
    }
    if ((unit >= u'\u30A1' && unit <= u'\u30FF') || (unit >= u'\uFF66' && unit <= u'\uFF9F')) {
        return UnitKind::Katakana;
    }
    if ((unit >= u'\u4E00' && unit <= u'\u9FFF') || (unit >= u'\u3400' && unit <= u'\u4DBF') ||
        (unit >= u'\uF900' && unit <= u'\uFAFF') || unit == u'\u3005') {
        return UnitKind::Kanji;
    }
    return UnitKind::Other;
}

// True when `position` is just after a line end (after a CR, or after the
// LF of a CR LF pair).
bool after_line_end(std::u16string_view text, std::size_t position) {
    return position > 0 &&
           (text[position - 1] == CR || (text[position - 1] == LF && position > 1 && text[position - 2] == CR));
}

bool high_surrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool low_surrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// True when the units before and at `position` make one step (CR LF, or a
// surrogate pair): no position lies between them.
bool inside_pair(std::u16string_view text, std::size_t position) {
    return position > 0 && position < text.size() &&
           ((text[position - 1] == CR && text[position] == LF) ||
            (high_surrogate(text[position - 1]) && low_surrogate(text[position])));
}

}  // namespace

std::size_t TextLine::next_start() const {
    switch (end) {
        case LineEnd::CrLf:
            return end_position() + 2;
        case LineEnd::Cr:
            return end_position() + 1;
        case LineEnd::None:
            break;
    }
    return end_position();
}

std::vector<TextLine> split_lines(std::u16string_view text) {
    std::vector<TextLine> lines;
    std::size_t start = 0;
    for (std::size_t at = text.find(CR); at != std::u16string_view::npos; at = text.find(CR, start)) {
        const bool pair = at + 1 < text.size() && text[at + 1] == LF;
        lines.push_back({start, at - start, pair ? LineEnd::CrLf : LineEnd::Cr});
        start = at + (pair ? 2 : 1);
    }
    lines.push_back({start, text.size() - start, LineEnd::None});
    return lines;
}

std::size_t line_of(const std::vector<TextLine>& lines, std::size_t position) {
    const auto after = std::upper_bound(lines.begin(), lines.end(), position,
                                        [](std::size_t at, const TextLine& line) { return at < line.start; });
    return after == lines.begin() ? 0 : static_cast<std::size_t>(after - lines.begin()) - 1;
}

bool shown_as_mark(char16_t unit) {
    return (unit < 0x20 && unit != CR && unit != u'\t') || unit == 0x7F;
}

std::size_t valid_position(std::u16string_view text, std::size_t position) {
    position = std::min(position, text.size());
    return inside_pair(text, position) ? position - 1 : position;
}

std::size_t next_position(std::u16string_view text, std::size_t position) {
    position = valid_position(text, position);
    if (position >= text.size()) {
        return text.size();
    }
    return inside_pair(text, position + 1) ? position + 2 : position + 1;
}

std::size_t previous_position(std::u16string_view text, std::size_t position) {
    position = valid_position(text, position);
    if (position == 0) {
        return 0;
    }
    return inside_pair(text, position - 1) ? position - 2 : position - 1;
}

std::size_t next_word_start(std::u16string_view text, std::size_t position) {
    position = valid_position(text, position);
    if (position >= text.size()) {
        return text.size();
    }
    const UnitKind kind = kind_of(text[position]);
    if (kind == UnitKind::LineEnd) {
        return next_position(text, position);
    }
    if (kind != UnitKind::Space) {
        while (position < text.size() && kind_of(text[position]) == kind) {
            ++position;
        }
    }
    while (position < text.size() && kind_of(text[position]) == UnitKind::Space) {
        ++position;
    }
    return position;
}

std::size_t previous_word_start(std::u16string_view text, std::size_t position) {
    position = valid_position(text, position);
    if (after_line_end(text, position)) {
        return previous_position(text, position);
    }
    while (position > 0 && kind_of(text[position - 1]) == UnitKind::Space) {
        --position;
    }
    if (position == 0 || after_line_end(text, position)) {
        return position;
    }
    const UnitKind kind = kind_of(text[position - 1]);
    while (position > 0 && kind_of(text[position - 1]) == kind && !after_line_end(text, position)) {
        --position;
    }
    return position;
}

UnitRange word_at(std::u16string_view text, std::size_t position) {
    position = valid_position(text, position);
    std::size_t at = position;
    if (at >= text.size() || text[at] == CR) {
        if (at == 0 || after_line_end(text, at)) {
            return {position, position};
        }
        --at;
    }
    const UnitKind kind = kind_of(text[at]);
    UnitRange word{at, at + 1};
    while (word.begin > 0 && kind_of(text[word.begin - 1]) == kind && !after_line_end(text, word.begin)) {
        --word.begin;
    }
    while (word.end < text.size() && kind_of(text[word.end]) == kind) {
        ++word.end;
    }
    return word;
}

std::size_t boundary_at_x(const std::vector<double>& edges, double x) {
    if (edges.empty()) {
        return 0;
    }
    const auto after = std::lower_bound(edges.begin(), edges.end(), x);
    if (after == edges.begin()) {
        return 0;
    }
    if (after == edges.end()) {
        return edges.size() - 1;
    }
    const auto index = static_cast<std::size_t>(after - edges.begin());
    // The nearer of the boundaries on either side; a tie goes left.
    return x - edges[index - 1] <= *after - x ? index - 1 : index;
}

std::size_t first_unit_past(const std::vector<double>& edges, double x) {
    if (edges.size() < 2) {
        return 0;
    }
    const auto right = std::upper_bound(edges.begin() + 1, edges.end(), x);
    return static_cast<std::size_t>(right - (edges.begin() + 1));
}

double scroll_to_show(double scroll, double x, double width, double margin) {
    margin = std::min(margin, width / 3);
    if (x < scroll + margin) {
        scroll = x - margin;
    } else if (x > scroll + width - margin) {
        scroll = x - width + margin;
    }
    return std::max(0.0, std::floor(scroll));
}

int whole_lines(int text_height, int line_height) {
    if (line_height <= 0) {
        return 1;
    }
    return std::max(1, text_height / line_height);
}

int last_first_line(int count, int shown) {
    return std::max(0, count - shown);
}

int first_line_to_show(int first, int line, int shown) {
    if (line < first) {
        return line;
    }
    if (line >= first + shown) {
        return line - shown + 1;
    }
    return first;
}

}  // namespace postori
