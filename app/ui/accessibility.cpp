// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/accessibility.h"

#include <QAccessibleWidget>
#include <QScrollBar>
#include <algorithm>
#include <limits>

#include "app/ui/template_dialog.h"
#include "app/ui/value_box.h"

namespace postori {
namespace {

// A value box as a text field: offsets are the box's own positions (UTF-16
// units of the text as held, line ends as received).
class ValueBoxAccessible final : public QAccessibleWidget,
                                 public QAccessibleTextInterface,
                                 public QAccessibleEditableTextInterface {
public:
    explicit ValueBoxAccessible(ValueBox* box) : QAccessibleWidget(box, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        if (type == QAccessible::EditableTextInterface) {
            return static_cast<QAccessibleEditableTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    [[nodiscard]] QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = true;
        state.multiLine = true;
        state.selectableText = true;
        return state;
    }

    [[nodiscard]] QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) {
            return box()->text();
        }
        return QAccessibleWidget::text(kind);
    }

    // Its one child is its scroll bar.
    [[nodiscard]] int childCount() const override { return 1; }
    [[nodiscard]] QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->scroll_bar()) : nullptr;
    }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == box()->scroll_bar() ? 0 : -1;
    }

    // QAccessibleTextInterface
    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && box()->edit().has_selection()) {
            const UnitRange range = box()->edit().selection();
            *start = to_offset(range.begin);
            *end = to_offset(range.end);
        }
    }
    [[nodiscard]] int selectionCount() const override { return box()->edit().has_selection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index == 0) {
            box()->set_cursor_position(box()->cursor_position());
        }
    }
    void setSelection(int index, int start, int end) override {
        if (index == 0) {
            box()->set_selection(start, end);
        }
    }
    [[nodiscard]] int cursorPosition() const override { return to_offset(box()->edit().cursor()); }
    void setCursorPosition(int position) override { box()->set_cursor_position(position); }
    [[nodiscard]] QString text(int start, int end) const override {
        const std::u16string& text = box()->edit().text();
        const auto from = std::min(static_cast<std::size_t>(std::max(0, start)), text.size());
        const auto to = std::clamp(static_cast<std::size_t>(std::max(0, end)), from, text.size());
        return QString(reinterpret_cast<const QChar*>(text.data() + from), static_cast<qsizetype>(to - from));
    }
    [[nodiscard]] int characterCount() const override { return to_offset(box()->edit().text().size()); }
    [[nodiscard]] QRect characterRect(int offset) const override {
        const QRect at = box()->position_rect(offset);
        const QRect next = box()->position_rect(offset + 1);
        const int width = next.top() == at.top() ? std::max(1, next.left() - at.left()) : at.width();
        return {box()->mapToGlobal(QPoint(at.left() + 1, at.top())), QSize(width, at.height())};
    }
    [[nodiscard]] int offsetAtPoint(const QPoint& point) const override {
        const QPoint inside = box()->mapFromGlobal(point);
        return box()->rect().contains(inside) ? static_cast<int>(box()->position_at(inside)) : -1;
    }
    void scrollToSubstring(int start, int end) override { box()->show_range(start, end); }
    [[nodiscard]] QString attributes(int, int* start, int* end) const override {
        // One run without attributes: the whole text.
        *start = 0;
        *end = characterCount();
        return {};
    }

    // QAccessibleEditableTextInterface
    void deleteText(int start, int end) override { box()->replace_range(start, end, {}); }
    void insertText(int offset, const QString& text) override { box()->replace_range(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override { box()->replace_range(start, end, text); }

private:
    [[nodiscard]] ValueBox* box() const { return static_cast<ValueBox*>(widget()); }
    static int to_offset(std::size_t position) {
        return static_cast<int>(std::min<std::size_t>(position, std::numeric_limits<int>::max()));
    }
};

// A template dialog gives its controls in template order, the order of the
// screen (Qt's own order is the stacking, which runs the other way).
class TemplateDialogAccessible final : public QAccessibleWidget {
public:
    explicit TemplateDialogAccessible(TemplateDialog* dialog) : QAccessibleWidget(dialog, QAccessible::Dialog) {}

    [[nodiscard]] QAccessibleInterface* child(int index) const override {
        const std::vector<QAccessibleInterface*> children = in_order();
        return index >= 0 && static_cast<std::size_t>(index) < children.size()
                   ? children[static_cast<std::size_t>(index)]
                   : nullptr;
    }
    [[nodiscard]] int indexOfChild(const QAccessibleInterface* child) const override {
        const std::vector<QAccessibleInterface*> children = in_order();
        const auto found = std::find(children.begin(), children.end(), child);
        return found == children.end() ? -1 : static_cast<int>(found - children.begin());
    }

private:
    // Qt's list of the children, sorted by their place in the template
    // (anything not in it after them, as Qt had it).
    [[nodiscard]] std::vector<QAccessibleInterface*> in_order() const {
        const std::vector<QWidget*>& controls = static_cast<TemplateDialog*>(widget())->controls_in_order();
        const auto place = [&controls](const QAccessibleInterface* child) {
            const auto found = std::find(controls.begin(), controls.end(), child->object());
            return found - controls.begin();
        };
        std::vector<QAccessibleInterface*> children;
        for (int k = 0; k < QAccessibleWidget::childCount(); ++k) {
            children.push_back(QAccessibleWidget::child(k));
        }
        std::stable_sort(
            children.begin(), children.end(),
            [&place](const QAccessibleInterface* a, const QAccessibleInterface* b) { return place(a) < place(b); });
        return children;
    }
};

QAccessibleInterface* accessible_of(const QString&, QObject* object) {
    if (auto* box = dynamic_cast<ValueBox*>(object); box != nullptr) {
        return new ValueBoxAccessible(box);
    }
    if (auto* dialog = dynamic_cast<TemplateDialog*>(object); dialog != nullptr) {
        return new TemplateDialogAccessible(dialog);
    }
    return nullptr;
}

}  // namespace

void install_accessibility() {
    QAccessible::installFactory(accessible_of);
}

}  // namespace postori
