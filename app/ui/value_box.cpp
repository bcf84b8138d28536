// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/value_box.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QStyleOptionSlider>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <map>
#include <string_view>
#include <utility>

namespace postori {

// The advances of a font's characters, looked up once per character and
// shared by every box with that font: a very long line is measured by table
// look-ups, not by laying it out.
class GlyphAdvances {
public:
    explicit GlyphAdvances(const QFont& font) : metrics_(font), mark_font_(font), table_(0x10000, -1.0F) {
        mark_font_.setPixelSize(std::max(7, font.pixelSize() * 5 / 6));
        mark_metrics_ = QFontMetricsF(mark_font_);
        tab_ = 4 * metrics_.averageCharWidth();
    }

    static std::shared_ptr<GlyphAdvances> of_font(const QFont& font) {
        static std::map<QString, std::weak_ptr<GlyphAdvances>> shared;
        std::weak_ptr<GlyphAdvances>& entry = shared[font.key()];
        std::shared_ptr<GlyphAdvances> advances = entry.lock();
        if (!advances) {
            advances = std::make_shared<GlyphAdvances>(font);
            entry = advances;
        }
        return advances;
    }

    // The advance of `unit`, and of a surrogate pair (on its first unit).
    double of(std::u16string_view text, std::size_t at) {
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

    // What the mark of a control character says.
    static QString mark_label(char16_t unit) {
        if (unit == u'\n') {
            return QStringLiteral("LF");
        }
        return QStringLiteral("%1").arg(static_cast<int>(unit), 2, 16, QLatin1Char('0')).toUpper();
    }

    [[nodiscard]] const QFont& mark_font() const { return mark_font_; }

private:
    QFontMetricsF metrics_;
    QFont mark_font_;
    QFontMetricsF mark_metrics_{QFont()};
    double tab_ = 0;
    std::vector<float> table_;
};

namespace {

// Scroll-bar repeats: the first after a press, then each while held.
constexpr int REPEAT_FIRST_MS = 500;
constexpr int REPEAT_NEXT_MS = 50;
// Room left of the first character, as in a single-line edit box.
constexpr int TEXT_INDENT = 2;

std::u16string_view units(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.constData()), static_cast<std::size_t>(text.size())};
}

enum class Move {
    NextChar,
    PreviousChar,
    NextWord,
    PreviousWord,
    LineStart,
    LineEnd,
    NextLine,
    PreviousLine,
    NextPage,
    PreviousPage,
    TextStart,
    TextEnd,
};

struct MoveKey {
    QKeySequence::StandardKey move;
    QKeySequence::StandardKey select;
    Move what;
};

constexpr MoveKey MOVE_KEYS[] = {
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Move::NextChar},
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Move::PreviousChar},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, Move::NextWord},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, Move::PreviousWord},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Move::LineStart},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Move::LineEnd},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Move::NextLine},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Move::PreviousLine},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Move::NextPage},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Move::PreviousPage},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, Move::TextStart},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Move::TextEnd},
};

constexpr QKeySequence::StandardKey EDIT_KEYS[] = {
    QKeySequence::Copy,
    QKeySequence::Cut,
    QKeySequence::Paste,
    QKeySequence::Undo,
    QKeySequence::Redo,
    QKeySequence::SelectAll,
    QKeySequence::Delete,
    QKeySequence::Backspace,
    QKeySequence::DeleteStartOfWord,
    QKeySequence::DeleteEndOfWord,
};

// Text a key types: something printable, without Ctrl or Alt.
bool typed_text(const QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty() || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0) {
        return false;
    }
    return text.front().unicode() >= 0x20 && text.front().unicode() != 0x7F;
}

bool is_box_key(const QKeyEvent* event) {
    for (const MoveKey& key : MOVE_KEYS) {
        if (event->matches(key.move) || event->matches(key.select)) {
            return true;
        }
    }
    for (const QKeySequence::StandardKey key : EDIT_KEYS) {
        if (event->matches(key)) {
            return true;
        }
    }
    return typed_text(event) || event->key() == Qt::Key_Backspace;
}

// Qt's own texts for an edit box's menu, translated like the rest of Qt.
QString menu_text(const char* text) {
    return QCoreApplication::translate("QWidgetTextControl", text);
}

}  // namespace

ValueBox::ValueBox(QWidget* parent) : QWidget(parent), advances_(GlyphAdvances::of_font(font())) {
    setAttribute(Qt::WA_InputMethodEnabled);
    setAttribute(Qt::WA_KeyCompression, false);
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::IBeamCursor);
    lines_ = split_lines({});
    edges_.resize(1);
}

ValueBox::~ValueBox() = default;

void ValueBox::set_text(const QString& text) {
    text_ = text;
    cursor_ = anchor_ = 0;
    first_line_ = 0;
    scroll_x_ = 0;
    goal_x_ = -1;
    can_undo_ = false;
    typing_run_ = false;
    undo_text_.clear();
    text_changed();
}

void ValueBox::text_changed() {
    lines_ = split_lines(units(text_));
    edges_.clear();
    edges_.resize(lines_.size());
    set_first_line(first_line_);
    update();
}

int ValueBox::line_height() const {
    return std::max(1, fontMetrics().lineSpacing());
}

QRect ValueBox::scroll_bar_rect() const {
    QStyleOptionFrame frame;
    frame.initFrom(this);
    const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, this);
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return {width() - border - extent, border, extent, std::max(0, height() - 2 * border)};
}

QRect ValueBox::text_rect() const {
    QStyleOptionFrame frame;
    frame.initFrom(this);
    const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, this);
    const QRect bar = scroll_bar_rect();
    return QRect(border + TEXT_INDENT, border + 1, std::max(0, bar.left() - border - TEXT_INDENT - 1),
                 std::max(0, height() - 2 * border - 2));
}

int ValueBox::visible_lines() const {
    return whole_lines(text_rect().height(), line_height());
}

QSize ValueBox::sizeHint() const {
    return {200, line_height() + 4};
}

void ValueBox::set_first_line(int first) {
    first = std::clamp(first, 0, last_first_line(line_count(), visible_lines()));
    if (first != first_line_) {
        first_line_ = first;
        update();
    }
}

const std::vector<double>& ValueBox::edges_of(std::size_t line) const {
    std::unique_ptr<std::vector<double>>& cached = edges_[line];
    if (!cached) {
        const TextLine& span = lines_[line];
        const std::u16string_view text = units(text_);
        cached = std::make_unique<std::vector<double>>(span.length + 1);
        std::vector<double>& edges = *cached;
        double x = 0;
        for (std::size_t k = 0; k < span.length; ++k) {
            edges[k] = x;
            x += advances_->of(text, span.start + k);
        }
        edges[span.length] = x;
    }
    return *cached;
}

double ValueBox::x_of(qsizetype position) const {
    const auto at = static_cast<std::size_t>(position);
    const std::size_t line = line_of(lines_, at);
    const std::vector<double>& edges = edges_of(line);
    return edges[std::min(at - lines_[line].start, lines_[line].length)];
}

qsizetype ValueBox::position_at(const QPoint& point) const {
    const QRect area = text_rect();
    const int row = point.y() < area.top() ? -1 : (point.y() - area.top()) / line_height();
    const auto line = static_cast<std::size_t>(std::clamp(first_line_ + row, 0, line_count() - 1));
    const double x = point.x() - area.left() + scroll_x_;
    const std::size_t at = lines_[line].start + boundary_at_x(edges_of(line), x);
    return static_cast<qsizetype>(valid_position(units(text_), at));
}

QRect ValueBox::cursor_rect() const {
    const QRect area = text_rect();
    const int line = static_cast<int>(line_of(lines_, static_cast<std::size_t>(cursor_)));
    const int x = area.left() + static_cast<int>(std::floor(x_of(cursor_) - scroll_x_));
    const int y = area.top() + (line - first_line_) * line_height();
    return {x - 1, y, 3, line_height()};
}

void ValueBox::show_cursor() {
    const int line = static_cast<int>(line_of(lines_, static_cast<std::size_t>(cursor_)));
    set_first_line(first_line_to_show(first_line_, line, visible_lines()));
    const double margin = 4.0 * fontMetrics().averageCharWidth();
    const double scroll = scroll_to_show(scroll_x_, x_of(cursor_), text_rect().width(), margin);
    if (scroll != scroll_x_) {
        scroll_x_ = scroll;
    }
    restart_blink();
    update();
    if (hasFocus()) {
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImCursorPosition | Qt::ImAnchorPosition);
    }
}

void ValueBox::restart_blink() {
    cursor_on_ = hasFocus();
    const int flash = QApplication::cursorFlashTime();
    if (hasFocus() && flash >= 2) {
        blink_.start(flash / 2, this);
    } else {
        blink_.stop();
    }
}

void ValueBox::set_cursor_position(qsizetype position, bool keep_anchor) {
    cursor_ = static_cast<qsizetype>(
        valid_position(units(text_), static_cast<std::size_t>(std::max<qsizetype>(0, position))));
    if (!keep_anchor) {
        anchor_ = cursor_;
    }
    typing_run_ = false;
    show_cursor();
}

QString ValueBox::selected_text() const {
    const qsizetype begin = std::min(cursor_, anchor_);
    return text_.mid(begin, std::max(cursor_, anchor_) - begin);
}

void ValueBox::select_all() {
    anchor_ = 0;
    cursor_ = text_.size();
    typing_run_ = false;
    show_cursor();
}

void ValueBox::copy() const {
    if (has_selection()) {
        QGuiApplication::clipboard()->setText(selected_text());
    }
}

void ValueBox::cut() {
    if (has_selection()) {
        copy();
        replace_selection({});
    }
}

void ValueBox::paste() {
    const QString pasted = QGuiApplication::clipboard()->text();
    if (!pasted.isEmpty()) {
        replace_selection(pasted);
    }
}

void ValueBox::remember_for_undo(bool typing) {
    // Typing joins the change before it while nothing else happened between.
    if (!(typing && typing_run_ && !has_selection())) {
        undo_text_ = text_;
        undo_cursor_ = std::min(cursor_, anchor_);
    }
    can_undo_ = true;
    typing_run_ = typing;
}

void ValueBox::replace_selection(const QString& with, bool typing) {
    remember_for_undo(typing);
    const qsizetype begin = std::min(cursor_, anchor_);
    text_.replace(begin, std::max(cursor_, anchor_) - begin, with);
    cursor_ = anchor_ = begin + with.size();
    goal_x_ = -1;
    text_changed();
    show_cursor();
}

void ValueBox::undo() {
    if (!can_undo_) {
        return;
    }
    std::swap(text_, undo_text_);
    const qsizetype cursor = undo_cursor_;
    undo_cursor_ = std::min(cursor_, anchor_);
    cursor_ = anchor_ = std::min(cursor, text_.size());
    typing_run_ = false;
    text_changed();
    show_cursor();
}

bool ValueBox::handle_movement(QKeyEvent* event) {
    const MoveKey* found = nullptr;
    bool select = false;
    for (const MoveKey& key : MOVE_KEYS) {
        if (event->matches(key.move) || event->matches(key.select)) {
            found = &key;
            select = event->matches(key.select);
            break;
        }
    }
    if (found == nullptr) {
        return false;
    }
    const std::u16string_view text = units(text_);
    const auto at = static_cast<std::size_t>(cursor_);
    const std::size_t line = line_of(lines_, at);
    std::size_t target = at;
    bool vertical = false;
    const auto to_line = [&](int by) {
        if (goal_x_ < 0) {
            goal_x_ = x_of(cursor_);
        }
        const auto next = static_cast<std::size_t>(std::clamp(static_cast<int>(line) + by, 0, line_count() - 1));
        vertical = true;
        return lines_[next].start + boundary_at_x(edges_of(next), goal_x_);
    };
    switch (found->what) {
        case Move::NextChar:
            target = next_position(text, at);
            break;
        case Move::PreviousChar:
            target = previous_position(text, at);
            break;
        case Move::NextWord:
            target = next_word_start(text, at);
            break;
        case Move::PreviousWord:
            target = previous_word_start(text, at);
            break;
        case Move::LineStart:
            target = lines_[line].start;
            break;
        case Move::LineEnd:
            target = lines_[line].end_position();
            break;
        case Move::NextLine:
            target = to_line(1);
            break;
        case Move::PreviousLine:
            target = to_line(-1);
            break;
        case Move::NextPage:
            target = to_line(visible_lines());
            set_first_line(first_line_ + visible_lines());
            break;
        case Move::PreviousPage:
            target = to_line(-visible_lines());
            set_first_line(first_line_ - visible_lines());
            break;
        case Move::TextStart:
            target = 0;
            break;
        case Move::TextEnd:
            target = text.size();
            break;
    }
    const double goal = goal_x_;
    set_cursor_position(static_cast<qsizetype>(target), select);
    goal_x_ = vertical ? goal : -1;
    return true;
}

bool ValueBox::handle_editing(QKeyEvent* event) {
    const std::u16string_view text = units(text_);
    const auto at = static_cast<std::size_t>(cursor_);
    const auto erase_to = [this](std::size_t other) {
        if (!has_selection()) {
            anchor_ = static_cast<qsizetype>(other);
        }
        if (has_selection()) {
            replace_selection({});
        }
    };
    if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->matches(QKeySequence::Cut)) {
        cut();
    } else if (event->matches(QKeySequence::Paste)) {
        paste();
    } else if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        undo();
    } else if (event->matches(QKeySequence::SelectAll)) {
        select_all();
    } else if (event->matches(QKeySequence::Delete)) {
        erase_to(next_position(text, at));
    } else if (event->matches(QKeySequence::Backspace) ||
               (event->key() == Qt::Key_Backspace &&
                (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0)) {
        erase_to(previous_position(text, at));
    } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
        erase_to(next_word_start(text, at));
    } else if (event->matches(QKeySequence::DeleteStartOfWord)) {
        erase_to(previous_word_start(text, at));
    } else {
        return false;
    }
    return true;
}

bool ValueBox::event(QEvent* event) {
    // The box's keys are its own, not shortcuts of the dialog.
    if (event->type() == QEvent::ShortcutOverride && is_box_key(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void ValueBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if ((event->modifiers() & Qt::ControlModifier) != 0) {
            replace_selection(QString::fromUtf16(TYPED_LINE_END.data(), static_cast<qsizetype>(TYPED_LINE_END.size())));
        } else {
            // Left to the parents, up to the dialog: its default button.
            event->ignore();
        }
        return;
    }
    if (handle_movement(event) || handle_editing(event)) {
        return;
    }
    if (typed_text(event)) {
        replace_selection(event->text(), true);
        return;
    }
    event->ignore();
}

void ValueBox::inputMethodEvent(QInputMethodEvent* event) {
    if (event->replacementLength() > 0) {
        const qsizetype from = std::clamp<qsizetype>(cursor_ + event->replacementStart(), 0, text_.size());
        anchor_ = from;
        cursor_ = std::min(from + event->replacementLength(), text_.size());
    }
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        replace_selection(event->commitString(), true);
    }
    preedit_ = event->preeditString();
    update();
    event->accept();
}

QVariant ValueBox::inputMethodQuery(Qt::InputMethodQuery query) const {
    // The text around the cursor stands for its line: an input method has
    // no use for a very long line whole.
    constexpr qsizetype AROUND = 500;
    const TextLine& line = lines_[line_of(lines_, static_cast<std::size_t>(cursor_))];
    const qsizetype from = std::max(static_cast<qsizetype>(line.start), cursor_ - AROUND);
    const qsizetype to = std::min(static_cast<qsizetype>(line.end_position()), cursor_ + AROUND);
    switch (query) {
        case Qt::ImEnabled:
            return true;
        case Qt::ImCursorRectangle:
            return cursor_rect();
        case Qt::ImFont:
            return font();
        case Qt::ImHints:
            return static_cast<int>(Qt::ImhMultiLine);
        case Qt::ImCursorPosition:
            return static_cast<int>(cursor_ - from);
        case Qt::ImAnchorPosition:
            return static_cast<int>(std::clamp(anchor_, from, to) - from);
        case Qt::ImSurroundingText:
            return text_.mid(from, to - from);
        case Qt::ImCurrentSelection:
            return selected_text();
        default:
            return QWidget::inputMethodQuery(query);
    }
}

void ValueBox::init_scroll_bar_option(QStyleOptionSlider& option) const {
    option.initFrom(this);
    option.subControls = QStyle::SC_All;
    option.activeSubControls = static_cast<QStyle::SubControl>(pressed_control_);
    option.orientation = Qt::Vertical;
    option.minimum = 0;
    option.maximum = last_first_line(line_count(), visible_lines());
    option.sliderPosition = first_line_;
    option.sliderValue = first_line_;
    option.singleStep = 1;
    option.pageStep = visible_lines();
    option.upsideDown = false;
    // The styles lay out a scroll bar's parts from (0, 0).
    option.rect = QRect(QPoint(0, 0), scroll_bar_rect().size());
    if (pressed_control_ != QStyle::SC_None) {
        option.state |= QStyle::State_Sunken;
    }
}

void ValueBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, this);
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);

    const QRect bar = scroll_bar_rect();
    if (event->rect().intersects(bar)) {
        QStyleOptionSlider option;
        init_scroll_bar_option(option);
        painter.save();
        painter.translate(bar.topLeft());
        style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
        painter.restore();
    }

    // Whole lines only: a line that does not fit is not drawn in part.
    const QRect area = text_rect();
    const int shown = std::min(visible_lines(), line_count() - first_line_);
    const QRect lines_area(area.left(), area.top(), area.width(), std::min(area.height(), shown * line_height()));
    const QRect dirty = event->rect() & lines_area;
    if (dirty.isEmpty()) {
        return;
    }
    painter.setClipRect(dirty);
    painter.setFont(font());
    for (int k = 0; k < shown; ++k) {
        const int y = area.top() + k * line_height();
        if (y + line_height() > dirty.top() && y <= dirty.bottom()) {
            draw_line(painter, static_cast<std::size_t>(first_line_ + k), y, dirty);
        }
    }
    if (hasFocus() && cursor_on_) {
        const QRect at = cursor_rect();
        const int width = style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this);
        painter.fillRect(QRect(at.left() + 1, at.top(), std::max(1, width), at.height()), palette().text());
    }
}

void ValueBox::draw_line(QPainter& painter, std::size_t line, int y, const QRect& area) const {
    const TextLine& span = lines_[line];
    const std::vector<double>& edges = edges_of(line);
    const QRect text_area = text_rect();
    const double origin = text_area.left() - scroll_x_;
    const double from_x = area.left() - origin;
    const double to_x = area.right() + 1 - origin;
    const int baseline = y + fontMetrics().ascent();
    const std::u16string_view text = units(text_);

    // The selection, drawn only while the box has the focus, in the line's
    // own positions; past the line's end it covers its line end.
    std::size_t select_from = 0;
    std::size_t select_to = 0;
    if (hasFocus() && has_selection()) {
        const auto begin = static_cast<std::size_t>(std::min(cursor_, anchor_));
        const auto end = static_cast<std::size_t>(std::max(cursor_, anchor_));
        select_from = std::clamp(begin, span.start, span.end_position()) - span.start;
        select_to = std::clamp(end, span.start, span.end_position()) - span.start;
        const double left = origin + edges[select_from];
        double right = origin + edges[select_to];
        if (end > span.end_position() && span.end != LineEnd::None) {
            right += fontMetrics().averageCharWidth();
        }
        if (right > left) {
            painter.fillRect(QRectF(left, y, right - left, line_height()), palette().highlight());
        }
    }

    // Runs of ordinary characters in one colour; marks drawn apart.
    std::size_t k = first_unit_past(edges, from_x);
    while (k < span.length && edges[k] < to_x) {
        const char16_t unit = text[span.start + k];
        const bool selected = k >= select_from && k < select_to;
        if (shown_as_mark(unit)) {
            draw_mark(painter, unit, QRectF(origin + edges[k], y, edges[k + 1] - edges[k], line_height()));
            ++k;
            continue;
        }
        if (unit == u'\t') {
            ++k;
            continue;
        }
        std::size_t run_end = k + 1;
        while (run_end < span.length && edges[run_end] < to_x && !shown_as_mark(text[span.start + run_end]) &&
               (run_end >= select_from && run_end < select_to) == selected && text[span.start + run_end] != u'\t') {
            ++run_end;
        }
        painter.setPen(selected ? palette().color(QPalette::HighlightedText) : palette().color(QPalette::Text));
        painter.drawText(QPointF(origin + edges[k], baseline),
                         text_.mid(static_cast<qsizetype>(span.start + k), static_cast<qsizetype>(run_end - k)));
        k = run_end;
    }

    // What an input method is composing, at the cursor.
    if (!preedit_.isEmpty() && line == line_of(lines_, static_cast<std::size_t>(cursor_))) {
        const QRect at = cursor_rect();
        const QRectF box(at.left() + 1, y, fontMetrics().horizontalAdvance(preedit_), line_height());
        painter.fillRect(box, palette().base());
        QFont underlined = font();
        underlined.setUnderline(true);
        painter.setFont(underlined);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QPointF(box.left(), baseline), preedit_);
        painter.setFont(font());
    }
}

void ValueBox::draw_mark(QPainter& painter, char16_t unit, const QRectF& box) const {
    const QRectF chip = box.adjusted(0.5, 1, -0.5, -1);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // Light letters on a grey chip: plainly not a character of the text.
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Dark));
    painter.drawRoundedRect(chip, 2, 2);
    painter.setFont(advances_->mark_font());
    painter.setPen(palette().color(QPalette::Base));
    painter.drawText(chip, Qt::AlignCenter, GlyphAdvances::mark_label(unit));
    painter.restore();
}

void ValueBox::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && scroll_bar_rect().contains(at)) {
        scroll_bar_pressed(at);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
        set_cursor_position(position_at(at), extend);
        selecting_ = true;
        return;
    }
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        const QString pasted = QGuiApplication::clipboard()->text(QClipboard::Selection);
        set_cursor_position(position_at(at));
        if (!pasted.isEmpty()) {
            replace_selection(pasted);
        }
        return;
    }
    QWidget::mousePressEvent(event);
}

void ValueBox::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (pressed_control_ == QStyle::SC_ScrollBarSlider) {
        QStyleOptionSlider option;
        init_scroll_bar_option(option);
        const QRect groove = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarGroove, this);
        const QRect slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
        const int y = at.y() - scroll_bar_rect().top() - groove.top() - drag_offset_;
        set_first_line(
            QStyle::sliderValueFromPosition(option.minimum, option.maximum, y, groove.height() - slider.height()));
        return;
    }
    if (selecting_ && (event->buttons() & Qt::LeftButton) != 0) {
        set_cursor_position(position_at(at), true);
    }
}

void ValueBox::mouseReleaseEvent(QMouseEvent* event) {
    if (pressed_control_ != QStyle::SC_None) {
        pressed_control_ = QStyle::SC_None;
        repeat_.stop();
        update(scroll_bar_rect());
        return;
    }
    if (selecting_ && has_selection() && QGuiApplication::clipboard()->supportsSelection()) {
        QGuiApplication::clipboard()->setText(selected_text(), QClipboard::Selection);
    }
    selecting_ = false;
    QWidget::mouseReleaseEvent(event);
}

void ValueBox::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || scroll_bar_rect().contains(at)) {
        mousePressEvent(event);
        return;
    }
    const UnitRange word = word_at(units(text_), static_cast<std::size_t>(position_at(at)));
    anchor_ = static_cast<qsizetype>(word.begin);
    set_cursor_position(static_cast<qsizetype>(word.end), true);
}

void ValueBox::scroll_bar_pressed(const QPoint& point) {
    QStyleOptionSlider option;
    init_scroll_bar_option(option);
    const QPoint inside = point - scroll_bar_rect().topLeft();
    pressed_control_ = style()->hitTestComplexControl(QStyle::CC_ScrollBar, &option, inside, this);
    if (pressed_control_ == QStyle::SC_ScrollBarSlider) {
        const QRect slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
        drag_offset_ = inside.y() - slider.top();
    } else if (pressed_control_ != QStyle::SC_None) {
        scroll_bar_step();
        repeat_.start(REPEAT_FIRST_MS, this);
    }
    update(scroll_bar_rect());
}

void ValueBox::scroll_bar_step() {
    switch (pressed_control_) {
        case QStyle::SC_ScrollBarSubLine:
            set_first_line(first_line_ - 1);
            break;
        case QStyle::SC_ScrollBarAddLine:
            set_first_line(first_line_ + 1);
            break;
        case QStyle::SC_ScrollBarSubPage:
            set_first_line(first_line_ - visible_lines());
            break;
        case QStyle::SC_ScrollBarAddPage:
            set_first_line(first_line_ + visible_lines());
            break;
        default:
            break;
    }
}

void ValueBox::wheelEvent(QWheelEvent* event) {
    // A box with nothing to scroll leaves the wheel to the result view.
    const int steps = event->angleDelta().y() / 120;
    if (last_first_line(line_count(), visible_lines()) == 0 || steps == 0) {
        event->ignore();
        return;
    }
    set_first_line(first_line_ - steps * QApplication::wheelScrollLines());
}

void ValueBox::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(menu_text("&Undo"), this, [this] { undo(); })->setEnabled(can_undo_);
    menu.addSeparator();
    menu.addAction(menu_text("Cu&t"), this, [this] { cut(); })->setEnabled(has_selection());
    menu.addAction(menu_text("&Copy"), this, [this] { copy(); })->setEnabled(has_selection());
    menu.addAction(menu_text("&Paste"), this, [this] { paste(); })
        ->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
    menu.addAction(menu_text("Delete"), this, [this] { replace_selection({}); })->setEnabled(has_selection());
    menu.addSeparator();
    menu.addAction(menu_text("Select All"), this, [this] { select_all(); })->setEnabled(!text_.isEmpty());
    menu.exec(event->globalPos());
}

void ValueBox::focusInEvent(QFocusEvent* event) {
    restart_blink();
    update();
    QWidget::focusInEvent(event);
}

void ValueBox::focusOutEvent(QFocusEvent* event) {
    blink_.stop();
    cursor_on_ = false;
    selecting_ = false;
    update();
    QWidget::focusOutEvent(event);
}

void ValueBox::timerEvent(QTimerEvent* event) {
    if (event->timerId() == blink_.timerId()) {
        // Only the cursor's few pixels are drawn again.
        cursor_on_ = !cursor_on_;
        update(cursor_rect());
    } else if (event->timerId() == repeat_.timerId()) {
        repeat_.start(REPEAT_NEXT_MS, this);
        scroll_bar_step();
    } else {
        QWidget::timerEvent(event);
    }
}

void ValueBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        advances_ = GlyphAdvances::of_font(font());
        text_changed();
    }
    QWidget::changeEvent(event);
}

void ValueBox::resizeEvent(QResizeEvent* event) {
    // More or fewer whole lines fit: the first one stays within the range.
    set_first_line(first_line_);
    QWidget::resizeEvent(event);
}

}  // namespace postori
