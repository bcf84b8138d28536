// SPDX-License-Identifier: GPL-3.0-or-later
// The advances of a font's characters, looked up once per character and
// shared by every value box with that font: a very long line is measured by
// table look-ups, not by laying it out. Also the marks that stand for
// control characters (a lone LF, ESC...): their label, font and width.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <memory>
#include <string_view>
#include <vector>

namespace postori {

class GlyphAdvances {
public:
    explicit GlyphAdvances(const QFont& font);

    // The one table of `font`, shared while any box holds it.
    static std::shared_ptr<GlyphAdvances> of_font(const QFont& font);

    // The advance of the unit at `at`, and of a surrogate pair (on its
    // first unit; its second unit has none).
    double of(std::u16string_view text, std::size_t at);

    // What the mark of a control character says ("LF", "1B").
    static QString mark_label(char16_t unit);
    [[nodiscard]] const QFont& mark_font() const { return mark_font_; }

private:
    QFontMetricsF metrics_;
    QFont mark_font_;
    QFontMetricsF mark_metrics_;
    double tab_ = 0;
    std::vector<float> table_;
};

}  // namespace postori
