// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/platform.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTranslator>
#include <algorithm>
#include <vector>

#include "app/core/dialog_units.h"
#include "app/core/resources.h"
#include "codec/display.h"

namespace postori {
namespace {

class QtMessageBoxes final : public MessageBoxes {
public:
    void show(QWidget* owner, std::string_view text, std::string_view title, MessageIcon icon) override {
        QMessageBox box(qt_icon(icon), window_text(title), window_text(text), QMessageBox::Ok, owner);
        box.setDefaultButton(QMessageBox::Ok);
        box.exec();
    }

    bool ask(QWidget* owner, std::string_view text, std::string_view title) override {
        QMessageBox box(QMessageBox::Question, window_text(title), window_text(text),
                        QMessageBox::Yes | QMessageBox::No, owner);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes;
    }

private:
    static QMessageBox::Icon qt_icon(MessageIcon icon) {
        switch (icon) {
            case MessageIcon::Information:
                return QMessageBox::Information;
            case MessageIcon::Warning:
                return QMessageBox::Warning;
            case MessageIcon::Question:
                return QMessageBox::Question;
        }
        return QMessageBox::NoIcon;
    }
};

QtMessageBoxes qt_message_boxes;
MessageBoxes* current_message_boxes = &qt_message_boxes;

class ClipboardSelection final : public PrimarySelection {
public:
    void offer(const QString& text) override {
        if (QGuiApplication::clipboard()->supportsSelection()) {
            QGuiApplication::clipboard()->setText(text, QClipboard::Selection);
        }
    }
    [[nodiscard]] QString text() const override {
        if (!QGuiApplication::clipboard()->supportsSelection()) {
            return {};
        }
        return QGuiApplication::clipboard()->text(QClipboard::Selection);
    }
};

ClipboardSelection clipboard_selection;
PrimarySelection* current_primary_selection = &clipboard_selection;

}  // namespace

QString window_text(std::string_view sjis) {
    // A window text is a zero-terminated byte string: it ends at its first
    // zero byte (a converted value can hold one: invalid UTF-8 such as C0 80
    // decodes to U+0000).
    sjis = sjis.substr(0, sjis.find('\0'));
    const std::u16string units = sjis_to_utf16(sjis);
    return QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size()));
}

const QStringList& dialog_font_substitutes() {
    static const QStringList families{
        QStringLiteral("IPAPGothic"),   QStringLiteral("IPAexGothic"),      QStringLiteral("VL PGothic"),
        QStringLiteral("TakaoPGothic"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Source Han Sans JP"),
        QStringLiteral("IPAGothic"),    QStringLiteral("VL Gothic"),        QStringLiteral("TakaoGothic"),
    };
    return families;
}

void install_font_substitutes() {
    const QString face = window_text(text::DIALOG_FONT.sjis());
    if (QFont::substitutes(face).isEmpty()) {
        QFont::insertSubstitutions(face, dialog_font_substitutes());
    }
}

QFont dialog_font(std::string_view sjis_face, int points) {
    install_font_substitutes();
    QFont font(window_text(sjis_face));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(mul_div(points, 96, 72));
    return font;
}

bool install_translations(QApplication& app) {
    // Owned by the application, which removes it when it goes.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QApplication::installTranslator(translator);
}

namespace {

// Surrounds what is drawn on `image` with a light rim `width` pixels wide:
// every transparent pixel near an opaque one becomes light, so that the
// dark outline stays readable on a dark panel.
void add_light_rim(QImage& image, int width) {
    const QImage drawn = image.copy();
    const QRgb rim = qRgb(0xF2, 0xF2, 0xF2);
    const auto opaque = [&drawn](int x, int y) {
        return x >= 0 && y >= 0 && x < drawn.width() && y < drawn.height() && qAlpha(drawn.pixel(x, y)) >= 0x80;
    };
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            if (qAlpha(drawn.pixel(x, y)) >= 0x80) {
                continue;
            }
            bool near = false;
            for (int dy = -width; dy <= width && !near; ++dy) {
                for (int dx = -width; dx <= width && !near; ++dx) {
                    near = opaque(x + dx, y + dy);
                }
            }
            if (near) {
                image.setPixel(x, y, rim);
            }
        }
    }
}

}  // namespace

// A sheet of paper with a folded corner and lines of a form, and a red arrow
// taking its contents down into the tray below; a dark outline for light
// panels, and a light rim around everything for dark ones.
QPixmap draw_main_icon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, size > 16);
    const qreal unit = size / 32.0;
    painter.scale(unit, unit);

    // The sheet.
    QPainterPath sheet;
    sheet.moveTo(5.5, 1.5);
    sheet.lineTo(20.5, 1.5);
    sheet.lineTo(26.5, 7.5);
    sheet.lineTo(26.5, 24.5);
    sheet.lineTo(5.5, 24.5);
    sheet.closeSubpath();
    painter.setPen(QPen(QColor(0x33, 0x33, 0x33), 1.0));
    painter.setBrush(Qt::white);
    painter.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(20.5, 1.5);
    corner.lineTo(20.5, 7.5);
    corner.lineTo(26.5, 7.5);
    painter.setBrush(QColor(0xCC, 0xCC, 0xCC));
    painter.drawPath(corner);

    // The form's fields: a label and a box on each line.
    painter.setPen(Qt::NoPen);
    for (int line = 0; line < 3; ++line) {
        const qreal y = 9.0 + line * 5.0;
        painter.setBrush(QColor(0x00, 0x33, 0x99));
        painter.drawRect(QRectF(8.0, y, 4.0, 2.0));
        painter.setBrush(QColor(0x66, 0x99, 0xCC));
        painter.drawRect(QRectF(13.0, y, 10.0, 2.0));
    }

    // The tray and the arrow into it.
    painter.setBrush(QColor(0x00, 0x66, 0x33));
    painter.drawRect(QRectF(2.0, 27.0, 28.0, 4.0));
    QPainterPath arrow;
    arrow.moveTo(19.0, 15.0);
    arrow.lineTo(25.0, 15.0);
    arrow.lineTo(25.0, 20.0);
    arrow.lineTo(29.0, 20.0);
    arrow.lineTo(22.0, 27.0);
    arrow.lineTo(15.0, 20.0);
    arrow.lineTo(19.0, 20.0);
    arrow.closeSubpath();
    painter.setBrush(QColor(0xCC, 0x00, 0x00));
    painter.setPen(QPen(Qt::white, 1.0));
    painter.drawPath(arrow);
    painter.end();

    add_light_rim(image, std::max(1, size / 32));
    return QPixmap::fromImage(image);
}

QIcon main_icon() {
    QIcon icon;
    icon.addPixmap(draw_main_icon(16));
    icon.addPixmap(draw_main_icon(32));
    return icon;
}

void show_message(QWidget* owner, std::string_view text, std::string_view title, MessageIcon icon) {
    current_message_boxes->show(owner, text, title, icon);
}

bool ask_yes_no(QWidget* owner, std::string_view text, std::string_view title) {
    return current_message_boxes->ask(owner, text, title);
}

MessageBoxes* set_message_boxes(MessageBoxes* boxes) {
    MessageBoxes* previous = current_message_boxes;
    current_message_boxes = boxes != nullptr ? boxes : &qt_message_boxes;
    return previous == &qt_message_boxes ? nullptr : previous;
}

void offer_primary_selection(const QString& text) {
    current_primary_selection->offer(text);
}

QString primary_selection_text() {
    return current_primary_selection->text();
}

PrimarySelection* set_primary_selection(PrimarySelection* selection) {
    PrimarySelection* previous = current_primary_selection;
    current_primary_selection = selection != nullptr ? selection : &clipboard_selection;
    return previous == &clipboard_selection ? nullptr : previous;
}

}  // namespace postori
