// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/value_box.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>
#include <QStyleOptionFrame>
#include <QTextLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

#include "app/ui/glyph_advances.h"
#include "app/ui/platform.h"

namespace postori {
namespace {

// Room left of the first character, as in a single-line edit box.
constexpr int TEXT_INDENT = 2;

std::u16string_view units(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.constData()), static_cast<std::size_t>(text.size())};
}

QString qstring(std::u16string_view text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// A part of `text` for drawing, without copying it.
QString raw_part(const std::u16string& text, std::size_t at, std::size_t length) {
    return QString::fromRawData(reinterpret_cast<const QChar*>(text.data() + at), static_cast<qsizetype>(length));
}

std::size_t to_size(qsizetype position) {
    return static_cast<std::size_t>(std::max<qsizetype>(0, position));
}

// Cursor moves by key: the steps ValueEdit takes alone, and the vertical
// ones that need the glyphs' widths.
enum class Move {
    Step,
    NextLine,
    PreviousLine,
    NextPage,
    PreviousPage,
};

struct MoveKey {
    QKeySequence::StandardKey move;
    QKeySequence::StandardKey select;
    Move what;
    CursorStep step;
};

constexpr MoveKey MOVE_KEYS[] = {
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Move::Step, CursorStep::NextChar},
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Move::Step, CursorStep::PreviousChar},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, Move::Step, CursorStep::NextWord},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, Move::Step, CursorStep::PreviousWord},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Move::Step, CursorStep::LineStart},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Move::Step, CursorStep::LineEnd},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, Move::Step, CursorStep::TextStart},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Move::Step, CursorStep::TextEnd},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Move::NextLine, CursorStep::NextChar},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Move::PreviousLine, CursorStep::NextChar},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Move::NextPage, CursorStep::NextChar},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Move::PreviousPage, CursorStep::NextChar},
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

// Qt's own texts for an edit box's menu, translated like the rest of Qt,
// with the command's key after a tab as Qt's editors show it.
QString menu_text(const char* text, QKeySequence::StandardKey key) {
    QString shown = QCoreApplication::translate("QWidgetTextControl", text);
    const QKeySequence sequence(key);
    if (QGuiApplication::styleHints()->showShortcutsInContextMenus() && !sequence.isEmpty()) {
        shown += QLatin1Char('\t') + sequence.toString(QKeySequence::NativeText);
    }
    return shown;
}

// The formats an input method gives the parts of its composition.
QList<QTextLayout::FormatRange> preedit_formats(const QInputMethodEvent& event) {
    QList<QTextLayout::FormatRange> formats;
    for (const QInputMethodEvent::Attribute& attribute : event.attributes()) {
        if (attribute.type != QInputMethodEvent::TextFormat) {
            continue;
        }
        const QTextCharFormat format = qvariant_cast<QTextFormat>(attribute.value).toCharFormat();
        if (format.isValid() && attribute.length > 0) {
            formats.append({attribute.start, attribute.length, format});
        }
    }
    return formats;
}

}  // namespace

ValueBox::ValueBox(QWidget* parent)
    : QWidget(parent), scroll_bar_(new QScrollBar(Qt::Vertical, this)), advances_(GlyphAdvances::of_font(font())) {
    setAttribute(Qt::WA_InputMethodEnabled);
    setAttribute(Qt::WA_KeyCompression, false);
    setFocusPolicy(Qt::ClickFocus);
    setCursor(Qt::IBeamCursor);
    scroll_bar_->setCursor(Qt::ArrowCursor);
    scroll_bar_->setFocusPolicy(Qt::NoFocus);
    scroll_bar_->setSingleStep(1);
    // The scroll bar's position is the first line shown.
    connect(scroll_bar_, &QScrollBar::valueChanged, this, [this](int first) {
        first_line_ = first;
        update(text_rect());
    });
    edges_.resize(1);
    place_scroll_bar();
}

ValueBox::~ValueBox() = default;

int ValueBox::frame_width() const {
    QStyleOptionFrame frame;
    frame.initFrom(this);
    return style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, this);
}

void ValueBox::place_scroll_bar() {
    // Inside the frame on the right, as an edit box has it.
    const int border = frame_width();
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    scroll_bar_->setGeometry(width() - border - extent, border, extent, std::max(0, height() - 2 * border));
    update_scroll_range();
}

void ValueBox::set_text(const QString& text) {
    edit_.set_text(std::u16string(units(text)));
    first_line_ = 0;
    scroll_x_ = 0;
    goal_x_ = -1;
    text_changed();
    scroll_bar_->setValue(0);
}

QString ValueBox::text() const {
    return qstring(edit_.text());
}

void ValueBox::text_changed() {
    edges_.clear();
    edges_.resize(edit_.lines().size());
    update_scroll_range();
    update();
}

int ValueBox::line_height() const {
    return std::max(1, fontMetrics().lineSpacing());
}

QRect ValueBox::text_rect() const {
    const int border = frame_width();
    return {border + TEXT_INDENT, border + 1, std::max(0, scroll_bar_->x() - border - TEXT_INDENT - 1),
            std::max(0, height() - 2 * border - 2)};
}

QRect ValueBox::scroll_bar_rect() const {
    return scroll_bar_->geometry();
}

int ValueBox::visible_lines() const {
    return whole_lines(text_rect().height(), line_height());
}

QSize ValueBox::sizeHint() const {
    return {200, line_height() + 4};
}

void ValueBox::update_scroll_range() {
    QScrollBar* bar = scroll_bar_;
    bar->setPageStep(visible_lines());
    bar->setRange(0, last_first_line(line_count(), visible_lines()));
    set_first_line(first_line_);
}

void ValueBox::set_first_line(int first) {
    scroll_bar_->setValue(first);
}

const std::vector<double>& ValueBox::edges_of(std::size_t line) const {
    std::unique_ptr<std::vector<double>>& cached = edges_[line];
    if (!cached) {
        const TextLine& span = edit_.lines()[line];
        const std::u16string_view text = edit_.text();
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

double ValueBox::x_of(std::size_t position) const {
    const std::vector<TextLine>& lines = edit_.lines();
    const std::size_t line = line_of(lines, position);
    return edges_of(line)[std::min(position - lines[line].start, lines[line].length)];
}

double ValueBox::shown_x(std::size_t position) const {
    // A composition stands at the cursor: what follows it on its line moves
    // right by its width.
    const double x = x_of(position);
    if (composing() && position >= edit_.cursor() && line_of(edit_.lines(), position) == edit_.cursor_line()) {
        return x + preedit_width_;
    }
    return x;
}

std::size_t ValueBox::position_of(const QPoint& point) const {
    const QRect area = text_rect();
    const int row = point.y() < area.top() ? -1 : (point.y() - area.top()) / line_height();
    const auto line = static_cast<std::size_t>(std::clamp(first_line_ + row, 0, line_count() - 1));
    const double x = point.x() - area.left() + scroll_x_;
    const std::size_t at = edit_.lines()[line].start + boundary_at_x(edges_of(line), x);
    return valid_position(edit_.text(), at);
}

qsizetype ValueBox::position_at(const QPoint& point) const {
    return static_cast<qsizetype>(position_of(point));
}

QRect ValueBox::cursor_rect_at(std::size_t position, double x) const {
    const QRect area = text_rect();
    const int line = static_cast<int>(line_of(edit_.lines(), position));
    const int left = area.left() + static_cast<int>(std::floor(x - scroll_x_));
    const int y = area.top() + (line - first_line_) * line_height();
    return {left - 1, y, 3, line_height()};
}

QRect ValueBox::caret_rect() const {
    const std::size_t at = edit_.cursor();
    return cursor_rect_at(at, x_of(at) + (composing() ? preedit_cursor_x_ : 0.0));
}

QRect ValueBox::position_rect(qsizetype position) const {
    const std::size_t at = valid_position(edit_.text(), to_size(position));
    return cursor_rect_at(at, shown_x(at));
}

void ValueBox::show_cursor() {
    set_first_line(first_line_to_show(first_line_, static_cast<int>(edit_.cursor_line()), visible_lines()));
    const double margin = 4.0 * fontMetrics().averageCharWidth();
    const double caret = x_of(edit_.cursor()) + (composing() ? preedit_cursor_x_ : 0.0);
    scroll_x_ = scroll_to_show(scroll_x_, caret, text_rect().width(), margin);
    restart_blink();
    update();
    if (hasFocus()) {
        QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle | Qt::ImCursorPosition | Qt::ImAnchorPosition);
    }
}

void ValueBox::show_range(qsizetype from, qsizetype to) {
    const std::size_t end = valid_position(edit_.text(), to_size(to));
    const std::size_t begin = valid_position(edit_.text(), to_size(from));
    set_first_line(first_line_to_show(first_line_, static_cast<int>(line_of(edit_.lines(), end)), visible_lines()));
    set_first_line(first_line_to_show(first_line_, static_cast<int>(line_of(edit_.lines(), begin)), visible_lines()));
    scroll_x_ = scroll_to_show(scroll_x_, x_of(begin), text_rect().width(), 0);
    update();
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

void ValueBox::moved(bool selection_changed) {
    show_cursor();
    if (selection_changed && edit_.has_selection() && !selecting_) {
        // Any selection is offered as the primary selection, as in every
        // text field of the desktop (one made by dragging, once the button
        // is let go).
        offer_primary_selection(selected_text());
    }
    if (QAccessible::isActive()) {
        if (selection_changed) {
            const UnitRange range = edit_.selection();
            QAccessibleTextSelectionEvent selection(this, static_cast<int>(range.begin), static_cast<int>(range.end));
            QAccessible::updateAccessibility(&selection);
        }
        QAccessibleTextCursorEvent cursor(this, static_cast<int>(edit_.cursor()));
        QAccessible::updateAccessibility(&cursor);
    }
}

void ValueBox::changed(const TextChange& change) {
    if (change.empty()) {
        return;
    }
    goal_x_ = -1;
    text_changed();
    show_cursor();
    if (QAccessible::isActive()) {
        const auto at = static_cast<int>(change.at);
        const QString inserted = qstring(std::u16string_view(edit_.text()).substr(change.at, change.inserted));
        if (change.removed.empty()) {
            QAccessibleTextInsertEvent event(this, at, inserted);
            QAccessible::updateAccessibility(&event);
        } else if (change.inserted == 0) {
            QAccessibleTextRemoveEvent event(this, at, qstring(change.removed));
            QAccessible::updateAccessibility(&event);
        } else {
            QAccessibleTextUpdateEvent event(this, at, qstring(change.removed), inserted);
            QAccessible::updateAccessibility(&event);
        }
        QAccessibleTextCursorEvent cursor(this, static_cast<int>(edit_.cursor()));
        QAccessible::updateAccessibility(&cursor);
    }
    if (on_edited_) {
        // Only the first change since the text was set is news.
        std::function<void()> tell = std::exchange(on_edited_, {});
        tell();
    }
}

void ValueBox::set_cursor_position(qsizetype position, bool keep_anchor) {
    const bool had_selection = edit_.has_selection();
    edit_.move_to(to_size(position), keep_anchor);
    moved(had_selection || edit_.has_selection());
}

void ValueBox::set_selection(qsizetype anchor, qsizetype cursor) {
    edit_.select(to_size(anchor), to_size(cursor));
    moved(true);
}

QString ValueBox::selected_text() const {
    return qstring(edit_.selected_text());
}

void ValueBox::select_all() {
    edit_.select_all();
    moved(true);
}

void ValueBox::copy() const {
    if (edit_.has_selection()) {
        QGuiApplication::clipboard()->setText(selected_text());
    }
}

void ValueBox::cut() {
    if (edit_.has_selection()) {
        copy();
        changed(edit_.replace_selection({}));
    }
}

void ValueBox::paste() {
    const QString pasted = QGuiApplication::clipboard()->text();
    if (!pasted.isEmpty()) {
        changed(edit_.replace_selection(units(pasted)));
    }
}

void ValueBox::undo() {
    changed(edit_.undo());
}

void ValueBox::replace_range(qsizetype from, qsizetype to, const QString& with) {
    changed(edit_.replace_range(to_size(from), to_size(to), units(with)));
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
    // Up and down keep the x the cursor had before the first of them.
    const auto to_line = [this](int by) {
        if (goal_x_ < 0) {
            goal_x_ = x_of(edit_.cursor());
        }
        const int line = std::clamp(static_cast<int>(edit_.cursor_line()) + by, 0, line_count() - 1);
        const auto next = static_cast<std::size_t>(line);
        return edit_.lines()[next].start + boundary_at_x(edges_of(next), goal_x_);
    };
    std::size_t target = edit_.cursor();
    switch (found->what) {
        case Move::Step:
            target = edit_.target_of(found->step);
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
    }
    const double goal = found->what == Move::Step ? -1 : goal_x_;
    set_cursor_position(static_cast<qsizetype>(target), select);
    goal_x_ = goal;
    return true;
}

bool ValueBox::handle_editing(QKeyEvent* event) {
    const std::u16string_view text = edit_.text();
    const std::size_t at = edit_.cursor();
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
        changed(edit_.erase_to(next_position(text, at)));
    } else if (event->matches(QKeySequence::Backspace) ||
               (event->key() == Qt::Key_Backspace &&
                (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0)) {
        changed(edit_.erase_to(previous_position(text, at)));
    } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
        changed(edit_.erase_to(next_word_start(text, at)));
    } else if (event->matches(QKeySequence::DeleteStartOfWord)) {
        changed(edit_.erase_to(previous_word_start(text, at)));
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
        if (composing()) {
            // Return belongs to the input method while it composes.
            event->accept();
        } else if ((event->modifiers() & Qt::ControlModifier) != 0) {
            changed(edit_.replace_selection(TYPED_LINE_END));
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
        changed(edit_.replace_selection(units(event->text()), true));
        return;
    }
    event->ignore();
}

void ValueBox::inputMethodEvent(QInputMethodEvent* event) {
    if (event->replacementLength() > 0) {
        const std::size_t from =
            valid_position(edit_.text(), to_size(static_cast<qsizetype>(edit_.cursor()) + event->replacementStart()));
        edit_.select(from, from + static_cast<std::size_t>(event->replacementLength()));
    }
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        changed(edit_.replace_selection(units(event->commitString()), true));
    }

    // The composition is laid out with the formats the input method gave
    // its parts (the clause being converted, the rest), and its own cursor.
    preedit_ = event->preeditString();
    preedit_layout_.reset();
    preedit_width_ = 0;
    preedit_cursor_x_ = 0;
    if (composing()) {
        int cursor = static_cast<int>(preedit_.size());
        preedit_cursor_shown_ = true;
        for (const QInputMethodEvent::Attribute& attribute : event->attributes()) {
            if (attribute.type == QInputMethodEvent::Cursor) {
                cursor = std::clamp(attribute.start, 0, static_cast<int>(preedit_.size()));
                preedit_cursor_shown_ = attribute.length != 0;
            }
        }
        preedit_layout_ = std::make_unique<QTextLayout>(preedit_, font());
        preedit_layout_->setFormats(preedit_formats(*event));
        preedit_layout_->beginLayout();
        QTextLine line = preedit_layout_->createLine();
        line.setLineWidth(1e6);
        preedit_layout_->endLayout();
        preedit_width_ = line.naturalTextWidth();
        preedit_cursor_x_ = line.cursorToX(cursor);
    }
    show_cursor();
    event->accept();
}

QVariant ValueBox::inputMethodQuery(Qt::InputMethodQuery query) const {
    // The text around the cursor stands for its line: an input method has
    // no use for a very long line whole.
    constexpr std::size_t AROUND = 500;
    const TextLine& line = edit_.lines()[edit_.cursor_line()];
    const std::size_t cursor = edit_.cursor();
    const std::size_t from = std::max(line.start, cursor > AROUND ? cursor - AROUND : 0);
    const std::size_t to = std::min(line.end_position(), cursor + AROUND);
    switch (query) {
        case Qt::ImEnabled:
            return true;
        case Qt::ImCursorRectangle:
            // Where the composition's cursor stands: the candidate window
            // opens beside it.
            return caret_rect();
        case Qt::ImFont:
            return font();
        case Qt::ImHints:
            return static_cast<int>(Qt::ImhMultiLine);
        case Qt::ImCursorPosition:
            return static_cast<int>(cursor - from);
        case Qt::ImAnchorPosition:
            return static_cast<int>(std::clamp(edit_.anchor(), from, to) - from);
        case Qt::ImSurroundingText:
            return qstring(std::u16string_view(edit_.text()).substr(from, to - from));
        case Qt::ImCurrentSelection:
            return selected_text();
        default:
            return QWidget::inputMethodQuery(query);
    }
}

void ValueBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // The frame: an edit box's panel, as the name boxes have, whose lines
    // stay whole at every scale.
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = rect();
    frame.lineWidth = frame_width();
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);

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
    if (hasFocus() && cursor_on_ && (!composing() || preedit_cursor_shown_)) {
        const QRect at = caret_rect();
        const int width = style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this);
        painter.fillRect(QRect(at.left() + 1, at.top(), std::max(1, width), at.height()), palette().text());
    }
}

void ValueBox::draw_line(QPainter& painter, std::size_t line, int y, const QRect& dirty) const {
    const TextLine& span = edit_.lines()[line];
    const double origin = text_rect().left() - scroll_x_;
    if (!composing() || line != edit_.cursor_line()) {
        draw_units(painter, line, 0, span.length, origin, y, dirty);
        return;
    }
    // The composition inside the line at the cursor, the rest of the line
    // after it.
    const std::size_t at = edit_.cursor() - span.start;
    const std::vector<double>& edges = edges_of(line);
    draw_units(painter, line, 0, at, origin, y, dirty);
    preedit_layout_->draw(&painter, QPointF(origin + edges[at], y));
    draw_units(painter, line, at, span.length, origin + preedit_width_, y, dirty);
}

void ValueBox::draw_units(QPainter& painter, std::size_t line, std::size_t from, std::size_t to, double origin, int y,
                          const QRect& dirty) const {
    const TextLine& span = edit_.lines()[line];
    const std::vector<double>& edges = edges_of(line);
    const double from_x = dirty.left() - origin;
    const double to_x = dirty.right() + 1 - origin;
    const int baseline = y + fontMetrics().ascent();
    const std::u16string& text = edit_.text();

    // The selection, drawn only while the box has the focus and nothing is
    // composed, in the line's own positions; past the line's end it covers
    // its line end.
    std::size_t select_from = 0;
    std::size_t select_to = 0;
    if (hasFocus() && edit_.has_selection() && !composing()) {
        const UnitRange range = edit_.selection();
        select_from = std::clamp(range.begin, span.start, span.end_position()) - span.start;
        select_to = std::clamp(range.end, span.start, span.end_position()) - span.start;
        select_from = std::clamp(select_from, from, to);
        select_to = std::clamp(select_to, from, to);
        const double left = origin + edges[select_from];
        double right = origin + edges[select_to];
        if (range.end > span.end_position() && span.end != LineEnd::None && to == span.length) {
            right += fontMetrics().averageCharWidth();
        }
        if (right > left) {
            painter.fillRect(QRectF(left, y, right - left, line_height()), palette().highlight());
        }
    }

    // Runs of ordinary characters in one colour; marks drawn apart.
    std::size_t k = std::max(from, first_unit_past(edges, from_x));
    while (k < to && edges[k] < to_x) {
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
        while (run_end < to && edges[run_end] < to_x && !shown_as_mark(text[span.start + run_end]) &&
               (run_end >= select_from && run_end < select_to) == selected && text[span.start + run_end] != u'\t') {
            ++run_end;
        }
        painter.setPen(selected ? palette().color(QPalette::HighlightedText) : palette().color(QPalette::Text));
        painter.drawText(QPointF(origin + edges[k], baseline), raw_part(text, span.start + k, run_end - k));
        k = run_end;
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
    if (event->button() == Qt::LeftButton) {
        const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
        set_cursor_position(static_cast<qsizetype>(position_of(at)), extend);
        selecting_ = true;
        return;
    }
    if (event->button() == Qt::MiddleButton) {
        const QString pasted = primary_selection_text();
        set_cursor_position(static_cast<qsizetype>(position_of(at)));
        if (!pasted.isEmpty()) {
            changed(edit_.replace_selection(units(pasted)));
        }
        return;
    }
    QWidget::mousePressEvent(event);
}

void ValueBox::mouseMoveEvent(QMouseEvent* event) {
    if (selecting_ && (event->buttons() & Qt::LeftButton) != 0) {
        set_cursor_position(static_cast<qsizetype>(position_of(event->position().toPoint())), true);
    }
}

void ValueBox::mouseReleaseEvent(QMouseEvent* event) {
    if (std::exchange(selecting_, false) && edit_.has_selection()) {
        offer_primary_selection(selected_text());
    }
    QWidget::mouseReleaseEvent(event);
}

void ValueBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);
        return;
    }
    edit_.select_word_at(position_of(event->position().toPoint()));
    moved(true);
}

void ValueBox::wheelEvent(QWheelEvent* event) {
    // The box turns the wheel into its own lines while it can scroll that
    // way; at its end (or with nothing to scroll) the wheel goes on to the
    // result view.
    const QScrollBar* bar = scroll_bar_;
    const int delta = event->angleDelta().y();
    const bool further = delta > 0 ? bar->value() > bar->minimum() : delta < 0 && bar->value() < bar->maximum();
    if (!further) {
        event->ignore();
        return;
    }
    QApplication::sendEvent(scroll_bar_, event);
}

QMenu* ValueBox::create_context_menu() {
    auto* menu = new QMenu(this);
    const bool selection = edit_.has_selection();
    menu->addAction(menu_text("&Undo", QKeySequence::Undo), this, [this] { undo(); })->setEnabled(edit_.can_undo());
    menu->addSeparator();
    menu->addAction(menu_text("Cu&t", QKeySequence::Cut), this, [this] { cut(); })->setEnabled(selection);
    menu->addAction(menu_text("&Copy", QKeySequence::Copy), this, [this] { copy(); })->setEnabled(selection);
    menu->addAction(menu_text("&Paste", QKeySequence::Paste), this, [this] { paste(); })
        ->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
    menu->addAction(menu_text("Delete", QKeySequence::Delete), this, [this] { changed(edit_.replace_selection({})); })
        ->setEnabled(selection);
    menu->addSeparator();
    menu->addAction(menu_text("Select All", QKeySequence::SelectAll), this, [this] { select_all(); })
        ->setEnabled(!edit_.text().empty());
    return menu;
}

void ValueBox::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu(create_context_menu());
    menu->exec(event->globalPos());
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
        update(caret_rect());
    } else {
        QWidget::timerEvent(event);
    }
}

void ValueBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        advances_ = GlyphAdvances::of_font(font());
        place_scroll_bar();
        text_changed();
    }
    QWidget::changeEvent(event);
}

void ValueBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // More or fewer whole lines fit: the first one stays within the range.
    place_scroll_bar();
}

}  // namespace postori
