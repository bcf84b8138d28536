// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/platform.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPushButton>

#include "app/core/resources.h"
#include "tests/ui/ui_support.h"

namespace postori {
namespace {

TEST(DialogFont, ResolvesToAJapaneseGothicAtTwelvePixels) {
    const QFont font = dialog_font(text::DIALOG_FONT.sjis(), 9);
    const QFontInfo resolved(font);
    EXPECT_TRUE(dialog_font_substitutes().contains(resolved.family())) << resolved.family().toStdString();
    EXPECT_TRUE(QFontDatabase::writingSystems(resolved.family()).contains(QFontDatabase::Japanese));
    EXPECT_EQ(resolved.pixelSize(), 12);
    // Kana, kanji, half-width katakana and full-width forms all have glyphs
    // in the font itself, not from a fallback.
    const QFontMetrics metrics(font);
    for (const char32_t c : {U'あ', U'取', U'ｷ', U'ﾞ', U'？', U'Ｐ', U'A'}) {
        EXPECT_TRUE(metrics.inFontUcs4(c)) << static_cast<unsigned>(c);
    }
}

TEST(WindowText, DecodesShiftJisAndMarksWhatIsNot) {
    EXPECT_EQ(window_text("\x8E\xE6\x93\xBE\x8AJ\x8En"), QString::fromUtf8("取得開始"));
    EXPECT_EQ(window_text("\xB7\xAC\xDD\xBE\xD9"), QString::fromUtf8("ｷｬﾝｾﾙ"));
    EXPECT_EQ(window_text("a\x82"), QString::fromUtf8("a\uFFFD"));
    EXPECT_EQ(window_text(""), QString());
    EXPECT_EQ(window_text(std::string_view("ab\0cd", 5)), QStringLiteral("ab"));
}

TEST(Translations, MessageBoxButtonsReadJapanese) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("x"),
                    QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QString::fromUtf8("はい(&Y)"));
    EXPECT_EQ(box.button(QMessageBox::No)->text(), QString::fromUtf8("いいえ(&N)"));
}

TEST(MainIcon, HasBothSizesAndIsNotBlank) {
    const QIcon icon = main_icon();
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    for (const int size : {16, 32}) {
        const QImage image = draw_main_icon(size).toImage();
        int opaque = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                opaque += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
            }
        }
        EXPECT_GT(opaque, size * size / 3) << size;
    }
}

// Whatever the panel behind it, the icon's edge is light (the rim, seen on
// dark panels) and a dark outline lies inside it (seen on light panels).
TEST(MainIcon, EdgeIsLightWithADarkOutlineInside) {
    for (const int size : {16, 32, 48, 256}) {
        const QImage image = draw_main_icon(size).toImage().convertToFormat(QImage::Format_ARGB32);
        const auto transparent = [&image](int x, int y) {
            return x >= 0 && y >= 0 && x < image.width() && y < image.height() && qAlpha(image.pixel(x, y)) < 0x40;
        };
        int edge = 0;
        int dark = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) < 0xC0) {
                    continue;
                }
                dark += qGray(pixel) < 0x60 ? 1 : 0;
                if (transparent(x - 1, y) || transparent(x + 1, y) || transparent(x, y - 1) || transparent(x, y + 1)) {
                    ++edge;
                    EXPECT_GE(qGray(pixel), 0xC0) << size << ": " << x << "," << y;
                }
            }
        }
        EXPECT_GT(edge, size) << size;
        EXPECT_GT(dark, size) << size;
    }
}

// The real message boxes, answered by a click: the question gives Yes or No,
// the others show their icon and close with OK.
TEST(MessageBox, QtBoxesShowTheTextAndReturnTheButton) {
    for (const auto& [button, answer] : {std::pair{QMessageBox::Yes, true}, std::pair{QMessageBox::No, false}}) {
        ui_test::when_idle([button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), QString::fromUtf8("確認"));
            EXPECT_EQ(box->text(), QString::fromUtf8("Postoriを終了します。よろしいですか？"));
            EXPECT_EQ(box->icon(), QMessageBox::Question);
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Yes));
            box->button(button)->click();
        });
        EXPECT_EQ(ask_yes_no(nullptr, text::EXIT_QUESTION.sjis(), text::EXIT_TITLE.sjis()), answer);
    }
    for (const auto& [icon, qt_icon] : {std::pair{MessageIcon::Information, QMessageBox::Information},
                                        std::pair{MessageIcon::Warning, QMessageBox::Warning}}) {
        bool seen = false;
        ui_test::when_idle([&seen, expected = qt_icon] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), QString::fromUtf8("エラー"));
            EXPECT_EQ(box->icon(), expected);
            ASSERT_NE(box->button(QMessageBox::Ok), nullptr);
            seen = true;
            box->button(QMessageBox::Ok)->click();
        });
        show_message(nullptr, text::FAILED.sjis(), text::FAILED_TITLE.sjis(), icon);
        EXPECT_TRUE(seen);
    }
}

}  // namespace
}  // namespace postori
