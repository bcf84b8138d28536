// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/template_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <charconv>
#include <string>
#include <vector>

#include "app/ui/platform.h"

namespace postori {
namespace {

DialogBaseUnits base_units_of(const QFont& font) {
    const QFontMetrics metrics(font);
    const int advance =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return base_units_of_font(advance, metrics.height());
}

// A group box drawn as the template places it: the caption on the frame's
// top line (Qt's styles put it above the frame and push the frame down onto
// the controls inside).
class DialogGroupBox final : public QGroupBox {
public:
    DialogGroupBox(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QString caption = title();
        const int caption_width = caption.isEmpty() ? 0 : fontMetrics().horizontalAdvance(caption);
        const GroupBoxParts parts = group_box_parts(width(), height(), caption_width, base_units_of(font()));
        // An etched line: a dark one with a light one inside it, each one
        // pixel of the dialog wide.
        const QRectF frame(parts.frame.x, parts.frame.y, parts.frame.width, parts.frame.height);
        painter.setPen(QPen(palette().color(QPalette::Light), 1));
        painter.drawRect(frame.adjusted(1.5, 1.5, -0.5, -0.5));
        painter.setPen(QPen(palette().color(QPalette::Mid), 1));
        painter.drawRect(frame.adjusted(0.5, 0.5, -1.5, -1.5));
        if (caption_width > 0) {
            const QRect behind(parts.caption.x, parts.caption.y, parts.caption.width, parts.caption.height);
            painter.fillRect(behind, palette().window());
            style()->drawItemText(&painter, behind.adjusted(1, 0, 0, 0),
                                  Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic, palette(), isEnabled(), caption,
                                  QPalette::WindowText);
        }
    }
};

QWidget* make_control(const ControlTemplate& item, QWidget* parent) {
    const QString text = window_text(item.text.sjis());
    switch (item.kind) {
        case ControlKind::DefPushButton:
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, parent);
            button->setDefault(item.kind == ControlKind::DefPushButton);
            return button;
        }
        case ControlKind::Edit:
            return new QLineEdit(text, parent);
        case ControlKind::Text: {
            // An '&' in a static text marks an access key unless the text
            // says otherwise; without one it is shown as is.
            QString shown = text;
            if ((item.style & CS_NOPREFIX) == 0) {
                shown.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
                shown.remove(QLatin1Char('&'));
                shown.replace(QChar(1), QLatin1Char('&'));
            }
            auto* label = new QLabel(shown, parent);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case ControlKind::Icon: {
            // Drawn for the screen's scale, not enlarged from 32 pixels.
            auto* label = new QLabel(parent);
            const qreal ratio = parent->devicePixelRatioF();
            QPixmap icon = draw_main_icon(qRound(32 * ratio));
            icon.setDevicePixelRatio(ratio);
            label->setPixmap(icon);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case ControlKind::WhiteFrame: {
            auto* frame = new QFrame(parent);
            frame->setAutoFillBackground(true);
            QPalette palette = frame->palette();
            palette.setColor(QPalette::Window, Qt::white);
            frame->setPalette(palette);
            return frame;
        }
        case ControlKind::AutoRadio:
            return new QRadioButton(text, parent);
        case ControlKind::AutoCheck:
            return new QCheckBox(text, parent);
        case ControlKind::GroupBox:
            return new DialogGroupBox(text, parent);
        case ControlKind::VScrollBar:
            return new QScrollBar(Qt::Vertical, parent);
    }
    return nullptr;
}

}  // namespace

Qt::WindowFlags window_flags_of(std::uint32_t style) {
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if ((style & DS_CAPTION) != 0) {
        flags |= Qt::WindowTitleHint;
    }
    if ((style & DS_SYSMENU) != 0) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if ((style & DS_MINIMIZEBOX) != 0) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    return flags;
}

TemplateDialog::TemplateDialog(int template_id, QWidget* owner, const ControlFactory& factory)
    : QDialog(owner), template_(postori::dialog_template(template_id)) {
    setWindowFlags(window_flags_of(template_.style));
    setWindowTitle(window_text(template_.title.sjis()));
    setFont(dialog_font(template_.font_face.sjis(), template_.font_points));
    base_units_ = base_units_of(font());
    const PixelRect client = map_dialog_rect({0, 0, template_.cx, template_.cy}, base_units_);
    setFixedSize(client.width, client.height);

    QWidget* previous_tab_stop = nullptr;
    QButtonGroup* group = nullptr;
    int group_first_id = IDC_STATIC;
    for (const ControlTemplate& item : template_.controls) {
        QWidget* widget = factory ? factory(item, this) : nullptr;
        if (widget == nullptr) {
            widget = make_control(item, this);
        }
        const PixelRect rect = map_dialog_rect(item.rect, base_units_);
        widget->setGeometry(rect.x, rect.y, rect.width, rect.height);
        widget->setProperty("control_id", item.id);
        if (item.id != IDC_STATIC) {
            controls_.emplace(item.id, widget);
        }

        // Tab visits the tab stops in template order; other controls take
        // the focus only when clicked (or never, for passive ones).
        if ((item.style & CS_TABSTOP) != 0) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previous_tab_stop != nullptr) {
                QWidget::setTabOrder(previous_tab_stop, widget);
            }
            previous_tab_stop = widget;
        } else if (widget->focusPolicy() != Qt::NoFocus) {
            widget->setFocusPolicy(Qt::ClickFocus);
        }

        // Radio buttons belong to the group started by the last control
        // marked as starting one; each such group of automatic radio buttons
        // is exclusive.
        if ((item.style & CS_GROUP) != 0) {
            group = nullptr;
            group_first_id = item.id;
        }
        if (item.kind == ControlKind::AutoRadio) {
            if (group == nullptr) {
                group = new QButtonGroup(this);
                radio_groups_.emplace(group_first_id, group);
            }
            group->addButton(static_cast<QAbstractButton*>(widget));
        }
        // The OK and Cancel buttons give the dialog's own commands.
        if (auto* button = qobject_cast<QPushButton*>(widget); button != nullptr) {
            if (item.id == IDOK) {
                connect(button, &QPushButton::clicked, this, [this] { accept(); });
            } else if (item.id == IDCANCEL) {
                connect(button, &QPushButton::clicked, this, [this] { reject(); });
            }
        }
        widget->setVisible((item.style & CS_HIDDEN) == 0);
        in_order_.push_back(widget);
    }
    // The first control of a template lies on top of those after it (the
    // group box under its buttons); Qt stacks later children higher.
    for (auto widget = in_order_.rbegin(); widget != in_order_.rend(); ++widget) {
        (*widget)->raise();
    }
}

QWidget* TemplateDialog::control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

void TemplateDialog::ddx_text(int id, std::int32_t& value, bool from_controls) {
    auto* edit = qobject_cast<QLineEdit*>(control(id));
    if (edit == nullptr) {
        return;
    }
    if (!from_controls) {
        edit->setText(QString::number(value));
        return;
    }
    const std::string text = edit->text().trimmed().toStdString();
    std::int32_t parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error == std::errc() && end == text.data() + text.size()) {
        value = parsed;
    }
}

void TemplateDialog::ddx_radio(int first_id, std::int32_t& value, bool from_controls) {
    const auto found = radio_groups_.find(first_id);
    if (found == radio_groups_.end()) {
        return;
    }
    const QList<QAbstractButton*> buttons = found->second->buttons();
    if (from_controls) {
        value = -1;
        for (qsizetype i = 0; i < buttons.size(); ++i) {
            if (buttons[i]->isChecked()) {
                value = static_cast<std::int32_t>(i);
                break;
            }
        }
        return;
    }
    // An exclusive group never lets its last checked button go; unchecking
    // them all needs the exclusion lifted for a moment.
    found->second->setExclusive(false);
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        buttons[i]->setChecked(i == value);
    }
    found->second->setExclusive(true);
}

void TemplateDialog::ddx_check(int id, bool& value, bool from_controls) {
    auto* box = qobject_cast<QAbstractButton*>(control(id));
    if (box == nullptr) {
        return;
    }
    if (from_controls) {
        value = box->isChecked();
    } else {
        box->setChecked(value);
    }
}

}  // namespace postori
