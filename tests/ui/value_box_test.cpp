// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/value_box.h"

#include <QClipboard>
#include <QPaintEvent>
#include <QTest>

#include "tests/ui/ui_support.h"

namespace postori {
namespace {

// A value box three lines high (58 pixels, as a row of 3 lines has it) in a
// window of its own, active and focused.
class ValueBoxTest : public ui_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        window = std::make_unique<QWidget>();
        window->resize(320, 80);
        box = new ValueBox(window.get());
        box->setGeometry(0, 0, 294, 58);
        window->show();
        QApplication::setActiveWindow(window.get());
        box->setFocus();
    }
    void TearDown() override {
        window.reset();
        WindowTest::TearDown();
    }

    void keys(const std::vector<QKeyCombination>& combinations) {
        for (const QKeyCombination combination : combinations) {
            QTest::keyClick(box, combination.key(), combination.keyboardModifiers());
        }
    }
    void keys(QKeySequence::StandardKey key) { keys({QKeySequence(key)[0]}); }
    static QString clipboard() { return QGuiApplication::clipboard()->text(); }

    std::unique_ptr<QWidget> window;
    ValueBox* box = nullptr;
};

// What is copied is what came, line ends included: CR LF stays CR LF, a
// lone LF stays LF (shown as a mark inside its line), a lone CR stays CR.
TEST_F(ValueBoxTest, CopyGivesBackTheLineEndsThatCame) {
    box->set_text(QStringLiteral("one\r\ntwo\nstill two\rthree"));
    EXPECT_EQ(box->line_count(), 3);
    struct Case {
        const char* name;
        std::vector<QKeyCombination> keys;
        QString copied;
    };
    const Case cases[] = {
        {"all", {QKeySequence(QKeySequence::SelectAll)[0]}, QStringLiteral("one\r\ntwo\nstill two\rthree")},
        {"first line and its end", {Qt::SHIFT | Qt::Key_Down}, QStringLiteral("one\r\n")},
        {"a CR LF is one step", {Qt::Key_End, Qt::SHIFT | Qt::Key_Right}, QStringLiteral("\r\n")},
        {"a lone LF is one unit",
         {Qt::Key_Down, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::SHIFT | Qt::Key_Right},
         QStringLiteral("\n")},
        {"to the end", {Qt::Key_Down, Qt::SHIFT | Qt::CTRL | Qt::Key_End}, QStringLiteral("two\nstill two\rthree")},
    };
    for (const Case& c : cases) {
        box->set_cursor_position(0);
        QGuiApplication::clipboard()->clear();
        keys(c.keys);
        keys(QKeySequence::Copy);
        EXPECT_EQ(clipboard(), c.copied) << c.name;
    }
}

// Typing replaces the selection; Ctrl+Enter makes a line ended by CR LF,
// which Backspace takes away whole; undo takes back the last change and a
// second undo redoes it; pasting inserts the clipboard's text as it is.
TEST_F(ValueBoxTest, EditingKeepsLineEndsWhole) {
    box->set_text(QStringLiteral("ab"));
    keys({QKeyCombination(Qt::Key_End)});
    QTest::keyClicks(box, QStringLiteral("cd"));
    QTest::keyClick(box, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClicks(box, QStringLiteral("e"));
    EXPECT_EQ(box->text(), QStringLiteral("abcd\r\ne"));
    EXPECT_EQ(box->line_count(), 2);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), QStringLiteral("abcd"));
    keys(QKeySequence::Undo);
    EXPECT_EQ(box->text(), QStringLiteral("abcd\r\n"));
    keys(QKeySequence::Undo);
    EXPECT_EQ(box->text(), QStringLiteral("abcd"));

    QGuiApplication::clipboard()->setText(QStringLiteral("x\ny\r\nz"));
    keys(QKeySequence::SelectAll);
    keys(QKeySequence::Paste);
    EXPECT_EQ(box->text(), QStringLiteral("x\ny\r\nz"));
    EXPECT_EQ(box->line_count(), 2);
}

// Its own scroll bar moves it by lines; the keys keep the cursor in view,
// down and sideways.
TEST_F(ValueBoxTest, ScrollsByItsScrollBarAndToTheCursor) {
    QString text;
    for (int k = 0; k < 10; ++k) {
        text += QStringLiteral("line %1\r\n").arg(k);
    }
    text += QString(2000, QLatin1Char('x'));
    box->set_text(text);
    const int shown = box->visible_lines();
    ASSERT_GE(shown, 3);
    const QRect bar = box->scroll_bar_rect();
    EXPECT_GT(bar.left(), box->text_rect().right());
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(bar.center().x(), bar.bottom() - 2));  // the down arrow
    EXPECT_EQ(box->first_visible_line(), 1);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(bar.center().x(), bar.top() + 2));  // the up arrow
    EXPECT_EQ(box->first_visible_line(), 0);

    box->setFocus();
    keys({Qt::CTRL | Qt::Key_End});
    EXPECT_EQ(box->cursor_position(), text.size());
    EXPECT_EQ(box->first_visible_line(), box->line_count() - shown);
    const QRect cursor = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_TRUE(box->text_rect().contains(cursor.center())) << cursor.x();
    keys({Qt::CTRL | Qt::Key_Home});
    EXPECT_EQ(box->first_visible_line(), 0);
    EXPECT_TRUE(box->text_rect().contains(box->inputMethodQuery(Qt::ImCursorRectangle).toRect().center()));
}

// How far right the box's first line has ink, in pixels from the box's left.
int ink_right(ValueBox& box) {
    QImage image(box.size(), QImage::Format_RGB32);
    box.render(&image);
    const QRect area = box.text_rect();
    int right = -1;
    for (int y = area.top(); y < area.top() + box.fontMetrics().lineSpacing(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 160) {
                right = std::max(right, x);
            }
        }
    }
    return right;
}

// What follows a tab or a mark (a lone LF, ESC, NUL) is drawn after it, on
// the same line.
TEST_F(ValueBoxTest, TextAfterTabsAndMarksIsDrawn) {
    box->set_text(QStringLiteral("a"));
    const int alone = ink_right(*box);
    for (const QString& separator :
         {QStringLiteral("\t"), QStringLiteral("\n"), QStringLiteral("\x1b"), QString(QChar(0))}) {
        box->set_text(QStringLiteral("a") + separator + QStringLiteral("b"));
        EXPECT_EQ(box->line_count(), 1);
        EXPECT_GT(ink_right(*box), alone + box->fontMetrics().horizontalAdvance(QLatin1Char('b')))
            << static_cast<int>(separator.front().unicode());
    }
}

// Notes the rectangles the box is painted in.
class PaintLog final : public QObject {
public:
    std::vector<QRect> rects;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            rects.push_back(static_cast<QPaintEvent*>(event)->rect());
        }
        return QObject::eventFilter(watched, event);
    }
};

// With a very long line in view and the focus, the cursor's blink redraws
// the cursor alone, not the line.
TEST_F(ValueBoxTest, BlinkRedrawsTheCursorAlone) {
    // A quick blink, so the test need not wait long for two.
    const int flash = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(100);
    box->set_text(QString(990'000, QLatin1Char('a')) + QStringLiteral("\r\nb"));
    keys({QKeyCombination(Qt::Key_End)});
    ASSERT_TRUE(ui_test::wait_until([&] { return !box->visibleRegion().isEmpty(); }));
    QApplication::processEvents();
    PaintLog log;
    box->installEventFilter(&log);
    ASSERT_TRUE(ui_test::wait_until([&] { return log.rects.size() >= 2; }, 5'000));
    box->removeEventFilter(&log);
    QApplication::setCursorFlashTime(flash);
    for (const QRect& rect : log.rects) {
        EXPECT_LE(rect.width(), 4);
        EXPECT_EQ(rect.height(), box->fontMetrics().lineSpacing());
    }
}

}  // namespace
}  // namespace postori
