// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/value_box.h"

#include <QAccessible>
#include <QClipboard>
#include <QMenu>
#include <QPaintEvent>
#include <QScrollBar>
#include <QStyleHints>
#include <QTest>
#include <QTextCharFormat>

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
    EXPECT_GT(box->scroll_bar_rect().left(), box->text_rect().right());
    QScrollBar* bar = box->scroll_bar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 2));  // the down arrow
    EXPECT_EQ(box->first_visible_line(), 1);
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, 2));  // the up arrow
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

// A composition is laid out inside the line at the cursor: the text after
// the cursor moves right by its width, the clause the input method marks is
// drawn in its format, the caret and the candidate window follow the
// composition's own cursor, Return stays with the input method, and the
// commit replaces the composition in the text.
TEST_F(ValueBoxTest, InputMethodComposesInsideTheLine) {
    box->set_text(QStringLiteral("yamada taro"));
    box->set_cursor_position(1);
    const QRect after_y = box->position_rect(1);
    const QRect after_m = box->position_rect(3);
    const QString composing = QStringLiteral("きょう");
    const QFontMetrics metrics = box->fontMetrics();

    // The second and third letters are the clause being converted.
    QTextCharFormat clause;
    clause.setBackground(QColor(255, 0, 0));
    clause.setForeground(QColor(255, 255, 255));
    QInputMethodEvent preedit(composing,
                              {{QInputMethodEvent::TextFormat, 1, 2, clause}, {QInputMethodEvent::Cursor, 1, 1, {}}});
    QApplication::sendEvent(box, &preedit);
    EXPECT_EQ(box->text(), QStringLiteral("yamada taro"));
    EXPECT_EQ(box->preedit(), composing);
    const int width = metrics.horizontalAdvance(composing);
    EXPECT_NEAR(box->position_rect(3).left(), after_m.left() + width, 1);
    const QRect caret = box->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_NEAR(caret.left(), after_y.left() + metrics.horizontalAdvance(QStringLiteral("き")), 1);

    // The clause's red stands right of き, inside the composition.
    QImage image(box->size(), QImage::Format_RGB32);
    box->render(&image);
    int red_from = image.width();
    int red_to = -1;
    for (int x = 0; x < image.width(); ++x) {
        const QRgb pixel = image.pixel(x, after_y.center().y());
        if (qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60) {
            red_from = std::min(red_from, x);
            red_to = std::max(red_to, x);
        }
    }
    EXPECT_NEAR(red_from, caret.left() + 1, 2);
    EXPECT_NEAR(red_to, after_y.left() + width, 2);

    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(box, &enter);
    EXPECT_TRUE(enter.isAccepted());

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("今日"));
    QApplication::sendEvent(box, &commit);
    EXPECT_EQ(box->text(), QStringLiteral("y今日amada taro"));
    EXPECT_EQ(box->cursor_position(), 3);
    EXPECT_TRUE(box->preedit().isEmpty());
    EXPECT_EQ(box->position_rect(3).left() - after_y.left(), metrics.horizontalAdvance(QStringLiteral("今日")));

    // A composition wider than the box scrolls it to keep its cursor in view.
    QInputMethodEvent wide(QString(60, QChar(u'あ')), {});
    QApplication::sendEvent(box, &wide);
    EXPECT_TRUE(box->text_rect().contains(box->inputMethodQuery(Qt::ImCursorRectangle).toRect().center()));
}

// A primary selection that only records what it is offered.
class RecordedSelection final : public PrimarySelection {
public:
    void offer(const QString& text) override { offered.push_back(text); }
    [[nodiscard]] QString text() const override { return QStringLiteral("from elsewhere"); }
    std::vector<QString> offered;
};

// Any selection, by keys or the mouse, is offered as the primary selection;
// a middle click pastes it; the menu shows its commands' keys; undo is one
// level deep.
TEST_F(ValueBoxTest, SelectionsGoToThePrimarySelection) {
    RecordedSelection selection;
    set_primary_selection(&selection);
    box->set_text(QStringLiteral("one two"));
    keys({Qt::SHIFT | Qt::Key_Right});
    keys(QKeySequence::SelectAll);
    QTest::mouseDClick(box, Qt::LeftButton, {}, box->position_rect(5).center());
    QTest::mouseClick(box, Qt::MiddleButton, {}, box->position_rect(0).center());
    set_primary_selection(nullptr);
    EXPECT_EQ(selection.offered,
              (std::vector<QString>{QStringLiteral("o"), QStringLiteral("one two"), QStringLiteral("two")}));
    EXPECT_EQ(box->text(), QStringLiteral("from elsewhereone two"));

    QGuiApplication::styleHints()->setShowShortcutsInContextMenus(true);
    const std::unique_ptr<QMenu> menu(box->create_context_menu());
    QStringList texts;
    for (const QAction* action : menu->actions()) {
        texts.append(action->text());
    }
    EXPECT_TRUE(texts.contains(QCoreApplication::translate("QWidgetTextControl", "&Copy") + QLatin1Char('\t') +
                               QKeySequence(QKeySequence::Copy).toString(QKeySequence::NativeText)))
        << texts.join(QLatin1Char('|')).toStdString();
}

// The wheel scrolls the box while it can scroll that way, and is left to
// the result view at either end.
TEST_F(ValueBoxTest, WheelGoesOnAtTheBoxsEnds) {
    box->set_text(QStringLiteral("1\r2\r3\r4\r5\r6"));
    const int last = box->line_count() - box->visible_lines();
    ASSERT_GT(last, 0);
    const auto wheel = [this](int delta) {
        const QPointF at(box->width() / 2.0, box->height() / 2.0);
        QWheelEvent event(at, box->mapToGlobal(at), {}, {0, delta}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(box, &event);
        return event.isAccepted();
    };
    EXPECT_FALSE(wheel(120));
    EXPECT_TRUE(wheel(-120));
    EXPECT_GT(box->first_visible_line(), 0);
    box->scroll_bar()->setValue(last);
    EXPECT_FALSE(wheel(-120));
    EXPECT_TRUE(wheel(120));
}

// What an assistive tool reads and does through Qt's accessibility: an
// editable multi-line text named after its field, its text as held, the
// caret and selection, and edits.
TEST_F(ValueBoxTest, ScreenReadersReadAndEditIt) {
    box->setAccessibleName(QStringLiteral("message"));
    box->set_text(QStringLiteral("一行目\r\n二行目"));
    box->set_cursor_position(5);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::EditableText);
    EXPECT_TRUE(accessible->state().multiLine);
    EXPECT_TRUE(accessible->state().editable);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("message"));
    QAccessibleTextInterface* text = accessible->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(0, text->characterCount()), QStringLiteral("一行目\r\n二行目"));
    EXPECT_EQ(text->cursorPosition(), 5);
    EXPECT_EQ(text->characterRect(5).topLeft(), box->mapToGlobal(box->position_rect(5).topLeft() + QPoint(1, 0)));

    text->setSelection(0, 5, 8);
    EXPECT_EQ(box->selected_text(), QStringLiteral("二行目"));
    int start = 0;
    int end = 0;
    text->selection(0, &start, &end);
    EXPECT_EQ(std::pair(start, end), std::pair(5, 8));

    accessible->editableTextInterface()->replaceText(5, 8, QStringLiteral("2"));
    QTest::keyClicks(box, QStringLiteral("x"));
    EXPECT_EQ(box->text(), QStringLiteral("一行目\r\n2x"));
}

}  // namespace
}  // namespace postori
