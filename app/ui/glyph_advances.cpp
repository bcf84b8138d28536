// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/glyph_advances.h"

#include <algorithm>
#include <map>

#include "app/core/value_text.h"

namespace postori {

GlyphAdvances::GlyphAdvances(const QFont& font)
    : metrics_(font), mark_font_(font), mark_metrics_(font), table_(0x10000, -1.0F) {
    mark_font_.setPixelSize(std::max(7, font.pixelSize() * 5 / 6));
    mark_metrics_ = QFontMetricsF(mark_font_);
    tab_ = 4 * metrics_.averageCharWidth();
}

std::shared_ptr<GlyphAdvances> GlyphAdvances::of_font(const QFont& font) {
    static std::map<QString, std::weak_ptr<GlyphAdvances>> shared;
    std::weak_ptr<GlyphAdvances>& entry = shared[font.key()];
    std::shared_ptr<GlyphAdvances> advances = entry.lock();
    if (!advances) {
        advances = std::make_shared<GlyphAdvances>(font);
        entry = advances;
    }
    return advances;
}

double GlyphAdvances::of(std::u16string_view text, std::size_t at) {
    const char16_t unit = text[at];
    if (unit >= 0xD800 && unit <= 0xDFFF) {
        if (unit <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF) {
            const QChar pair[] = {QChar(unit), QChar(text[at + 1])};
            return metrics_.horizontalAdvance(QString(pair, 2));
        }
        return unit <= 0xDBFF ? of(u"\uFFFD", 0) : 0.0;
    }
    float& advance = table_[unit];
    if (advance < 0) {
        if (shown_as_mark(unit)) {
            advance = static_cast<float>(mark_metrics_.horizontalAdvance(mark_label(unit)) + 4);
        } else if (unit == u'\t') {
            advance = static_cast<float>(tab_);
        } else {
            advance = static_cast<float>(metrics_.horizontalAdvance(QChar(unit)));
        }
    }
    return advance;
}

QString GlyphAdvances::mark_label(char16_t unit) {
    if (unit == u'\n') {
        return QStringLiteral("LF");
    }
    return QStringLiteral("%1").arg(static_cast<int>(unit), 2, 16, QLatin1Char('0')).toUpper();
}

}  // namespace postori
