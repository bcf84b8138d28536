// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/main_dialog.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QWindow>
#include <thread>

#include "app/core/result_rows.h"
#include "app/ui/result_pane.h"
#include "app/ui/value_box.h"
#include "codec/display.h"
#include "tests/support/form_request.h"
#include "tests/support/loopback_client.h"
#include "tests/support/running_capture.h"
#include "tests/ui/ui_support.h"

namespace postori {
namespace {

using ui_test::window_titled;

class MainDialogTest : public ui_test::MainWindowTest {
protected:
    // Sets the hidden port edit to a free port, presses 取得開始 and, once
    // the listener is up, runs `meanwhile` (as a user would act while the
    // wait goes on) and posts `body` from a client socket. Returns when the
    // capture run has ended.
    void capture(const std::string& body, const std::function<void()>& meanwhile = {}) {
        const int port = test_support::free_loopback_port();
        static_cast<QLineEdit*>(dialog->control(IDC_PORT))->setText(QString::number(port));
        std::thread client;
        ui_test::when_idle([&] {
            // Inside the run's wait: the waiting dialog is up, the window off.
            EXPECT_NE(window_titled("進行状況"), nullptr);
            EXPECT_FALSE(dialog->isEnabled());
            if (meanwhile) {
                meanwhile();
            }
            client = std::thread([port, body] {
                for (int attempt = 0; attempt < 500; ++attempt) {
                    if (test_support::send_to_loopback(port, test_support::post_request(body))) {
                        return;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
            });
        });
        button(IDOK)->click();
        client.join();
    }

    std::vector<std::string> row_texts() const {
        std::vector<std::string> texts;
        const ResultPane& pane = dialog->result_pane();
        for (std::size_t i = 0; i < pane.name_rows().size(); ++i) {
            texts.push_back(pane.name_rows()[i]->text().toStdString() + "=" +
                            pane.value_rows()[i]->text().toStdString());
        }
        return texts;
    }
};

TEST_F(MainDialogTest, StartsWithTheTemplateAndTheDefaults) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Postori"));
    const DialogBaseUnits units = dialog->base_units();
    const PixelRect client = map_dialog_rect({0, 0, 282, 232}, units);
    EXPECT_EQ(dialog->size(), QSize(client.width, client.height));
    // What the window manager is told: a fixed size (so no maximizing) and
    // the buttons of the template's frame, minimize and close.
    ASSERT_NE(dialog->windowHandle(), nullptr);
    EXPECT_EQ(dialog->windowHandle()->minimumSize(), dialog->size());
    EXPECT_EQ(dialog->windowHandle()->maximumSize(), dialog->size());
    const Qt::WindowFlags flags = dialog->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    for (const ControlTemplate& item : dialog_template(IDD_MAIN).controls) {
        if (item.id == IDC_STATIC) {
            continue;
        }
        QWidget* widget = dialog->control(item.id);
        ASSERT_NE(widget, nullptr) << item.id;
        const PixelRect rect = map_dialog_rect(item.rect, units);
        EXPECT_EQ(widget->geometry(), QRect(rect.x, rect.y, rect.width, rect.height)) << item.id;
        EXPECT_EQ(widget->isVisible(), item.id != IDC_PORT) << item.id;
    }
    EXPECT_EQ(static_cast<QLineEdit*>(dialog->control(IDC_PORT))->text(), QStringLiteral("9250"));
    EXPECT_TRUE(button(IDC_EUC)->isChecked());
    EXPECT_TRUE(button(IDC_AUTO_DETECT)->isChecked());
    EXPECT_EQ(button(IDOK)->text(), QString::fromUtf8("取得開始"));
    EXPECT_EQ(dialog->result_scroll().maximum(), 0);
    EXPECT_EQ(dialog->focusWidget(), dialog->control(IDOK));
    EXPECT_FALSE(dialog->windowIcon().isNull());
}

TEST_F(MainDialogTest, TabVisitsTheTabStopsInTemplateOrder) {
    std::vector<int> order;
    QWidget* widget = dialog->control(IDOK);
    for (int i = 0; i < 4; ++i) {
        order.push_back(widget->property("control_id").toInt());
        widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus) || !widget->isVisible()) {
            widget = widget->nextInFocusChain();
        }
    }
    EXPECT_EQ(order, (std::vector<int>{IDOK, IDCANCEL, IDC_AUTO_DETECT, IDC_VERSION}));
}

// Screen readers meet the controls in template order, the order of the
// screen, though Qt stacks them the other way round.
TEST_F(MainDialogTest, ScreenReadersMeetTheControlsInScreenOrder) {
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(dialog.get());
    ASSERT_NE(window, nullptr);
    std::vector<QObject*> order;
    for (int k = 0; k < window->childCount(); ++k) {
        order.push_back(window->child(k)->object());
        EXPECT_EQ(window->indexOfChild(window->child(k)), k);
    }
    const std::vector<QWidget*>& controls = dialog->controls_in_order();
    EXPECT_EQ(order, std::vector<QObject*>(controls.begin(), controls.end()));
    EXPECT_EQ(order.front(), dialog->control(IDOK));
}

TEST_F(MainDialogTest, ExchangesTheSettingsBothWays) {
    MainSettings& members = dialog->members();
    // The code buttons stand for their codes, in the group's order.
    const std::pair<int, CodeChoice> code_buttons[] = {
        {IDC_EUC, CodeChoice::EucJp}, {IDC_SHIFT_JIS, CodeChoice::ShiftJis}, {IDC_UTF8, CodeChoice::Utf8}};
    for (const auto& [id, code] : code_buttons) {
        button(id)->click();
        dialog->update_data(true);
        EXPECT_EQ(members.code_choice, code) << id;
    }
    for (const auto& [id, code] : code_buttons) {
        members.code_choice = code;
        dialog->update_data(false);
        EXPECT_TRUE(button(id)->isChecked()) << id;
    }
    button(IDC_AUTO_DETECT)->click();
    dialog->update_data(true);
    EXPECT_FALSE(members.auto_detect);
    EXPECT_EQ(members.port, 9250);

    // No code unchecks every code button, and none checked reads as no code.
    members.code_choice = std::nullopt;
    dialog->update_data(false);
    EXPECT_FALSE(button(IDC_EUC)->isChecked() || button(IDC_SHIFT_JIS)->isChecked() || button(IDC_UTF8)->isChecked());
    members.code_choice = CodeChoice::Utf8;
    dialog->update_data(true);
    EXPECT_EQ(members.code_choice, std::nullopt);
    members.code_choice = CodeChoice::ShiftJis;
    members.port = 8080;
    dialog->update_data(false);
    EXPECT_TRUE(button(IDC_SHIFT_JIS)->isChecked());
    EXPECT_EQ(static_cast<QLineEdit*>(dialog->control(IDC_PORT))->text(), QStringLiteral("8080"));
    // Text that is no number leaves the port as it was.
    static_cast<QLineEdit*>(dialog->control(IDC_PORT))->setText(QStringLiteral("80x"));
    dialog->update_data(true);
    EXPECT_EQ(members.port, 8080);
}

TEST_F(MainDialogTest, EveryWayOfClosingAsksFirst) {
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"exit button", [&] { button(IDCANCEL)->click(); }},
        {"Esc", [&] { QTest::keyClick(dialog.get(), Qt::Key_Escape); }},
        {"close box", [&] { dialog->close(); }},
        {"menu item", [&] { dialog->system_menu().actions()[1]->trigger(); }},
    };
    for (const auto& [name, close] : ways) {
        // No: the window and its contents stay.
        boxes.shown.clear();
        boxes.answers = {false};
        close();
        ASSERT_EQ(boxes.shown.size(), 1u) << name;
        EXPECT_EQ(boxes.shown[0].text, "Postoriを終了します。よろしいですか？");
        EXPECT_EQ(boxes.shown[0].title, "確認");
        EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Question);
        EXPECT_TRUE(dialog->isVisible()) << name;

        // Yes: the dialog ends with IDCANCEL.
        boxes.answers = {true};
        close();
        EXPECT_FALSE(dialog->isVisible()) << name;
        EXPECT_EQ(dialog->result(), IDCANCEL) << name;
        dialog->show();
    }
}

TEST_F(MainDialogTest, WindowMenuHasItsItemsAndOpensOnRightClick) {
    QMenu& menu = dialog->system_menu();
    QStringList texts;
    for (QAction* action : menu.actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(texts, (QStringList{QString::fromUtf8("最小化"), QString::fromUtf8("閉じる"), QStringLiteral("-"),
                                  QString::fromUtf8("postori のﾊﾞｰｼﾞｮﾝ情報(&A)...")}));
    // A right-click on the background opens it; on a button it does not.
    QContextMenuEvent on_background(QContextMenuEvent::Mouse, QPoint(5, 5), dialog->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(dialog.get(), &on_background);
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
    const QPoint on_button = dialog->control(IDOK)->geometry().center();
    QContextMenuEvent on_control(QContextMenuEvent::Mouse, on_button, dialog->mapToGlobal(on_button));
    QApplication::sendEvent(dialog.get(), &on_control);
    EXPECT_FALSE(menu.isVisible());
    QApplication::setActiveWindow(dialog.get());
    QTest::keyClick(dialog.get(), Qt::Key_Space, Qt::AltModifier);
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
    dialog->system_menu().actions()[0]->trigger();
    EXPECT_TRUE(dialog->isMinimized());
}

TEST_F(MainDialogTest, VersionBoxFromTheButtonAndTheMenu) {
    const std::vector<std::function<void()>> openers = {
        [&] { button(IDC_VERSION)->click(); },
        [&] { dialog->system_menu().actions()[3]->trigger(); },
        [&] { dialog->on_system_command(ID_VERSION_MENU | 0x000F); },
    };
    for (const auto& open : openers) {
        bool seen = false;
        ui_test::when_idle([&] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), QString::fromUtf8("Postori のバージョン情報"));
            EXPECT_EQ(box->parentWidget(), dialog.get());
            seen = true;
            static_cast<TemplateDialog*>(box)->control(IDOK)->setFocus();
            QTest::keyClick(box, Qt::Key_Return);
        });
        open();
        EXPECT_TRUE(seen);
        EXPECT_TRUE(boxes.shown.empty());
    }
}

TEST_F(MainDialogTest, CapturesAPostedFormWithAutomaticRecognition) {
    button(IDC_SHIFT_JIS)->click();
    capture("%E5%90%8D%E5%89%8D=%E5%B1%B1%E7%94%B0+%E5%A4%AA%E9%83%8E&memo=a%0D%0Ab%0D%0Ac&e=");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "フォーム情報を取得しました");
    EXPECT_EQ(boxes.shown[0].title, "取得成功");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(dialog->last_report().outcome, RunOutcome::Completed);
    EXPECT_EQ(row_texts(), (std::vector<std::string>{"%E5%90%8D%E5%89%8D=山田 太郎", "memo=a\r\nb\r\nc", "e="}));
    EXPECT_EQ(dialog->result_pane().value_rows()[1]->height(), 2 * LINE_HEIGHT - 2);
    // The vote's code is shown, the window is usable again, the waiting
    // dialog is gone.
    EXPECT_TRUE(button(IDC_UTF8)->isChecked());
    EXPECT_TRUE(dialog->isEnabled());
    EXPECT_EQ(dialog->waiting_dialog(), nullptr);
    EXPECT_EQ(dialog->result_scroll().maximum(), 1);

    // The window keeps what it shows, and shows it in another code with
    // one call: the rows and the code button follow.
    ASSERT_TRUE(dialog->shown_result().has_value());
    dialog->show_result(*dialog->shown_result(), CodeChoice::EucJp);
    EXPECT_EQ(dialog->shown_code(), CodeChoice::EucJp);
    EXPECT_TRUE(button(IDC_EUC)->isChecked());
    EXPECT_EQ(dialog->result_pane().value_rows().size(), 3u);
    EXPECT_NE(row_texts()[0], "%E5%90%8D%E5%89%8D=山田 太郎");
}

TEST_F(MainDialogTest, WithoutAutomaticRecognitionTheChosenCodeStays) {
    button(IDC_AUTO_DETECT)->click();
    button(IDC_SHIFT_JIS)->click();
    capture("k=%82%A0%82%A2&u=%E3%81%82");  // Shift_JIS あい, and UTF-8 あ read as Shift_JIS
    EXPECT_EQ(row_texts(), (std::vector<std::string>{"k=あい", "u=縺\xEF\xBF\xBD"}));
    EXPECT_TRUE(button(IDC_SHIFT_JIS)->isChecked());
    EXPECT_FALSE(button(IDC_AUTO_DETECT)->isChecked());
}

// After a capture, a code button shows the same capture again in its code
// at once; edits are asked about first, and the buttons still stand for the
// next capture.
TEST_F(MainDialogTest, CodeButtonShowsTheCaptureAgainInItsCode) {
    const auto rows_in = [this](CodeChoice code) {
        std::vector<std::string> texts;
        for (const ResultRow& row : result_rows(dialog->shown_result()->fields, code)) {
            texts.push_back(sjis_to_utf8(row.name) + "=" + sjis_to_utf8(row.value));
        }
        return texts;
    };
    capture("n=%E5%B1%B1%E7%94%B0&m=%E3%81%82%0D%0A");  // 山田, あ CR LF in UTF-8
    ASSERT_TRUE(button(IDC_UTF8)->isChecked());
    for (const bool auto_detect : {true, false}) {
        SCOPED_TRACE(auto_detect ? "自動認識 on" : "自動認識 off");
        if (button(IDC_AUTO_DETECT)->isChecked() != auto_detect) {
            button(IDC_AUTO_DETECT)->click();
        }
        for (const auto& [id, code] :
             {std::pair{IDC_EUC, CodeChoice::EucJp}, std::pair{IDC_SHIFT_JIS, CodeChoice::ShiftJis},
              std::pair{IDC_UTF8, CodeChoice::Utf8}}) {
            button(id)->click();
            EXPECT_EQ(row_texts(), rows_in(code));
            EXPECT_EQ(dialog->shown_code(), code);
            EXPECT_EQ(button(IDC_AUTO_DETECT)->isChecked(), auto_detect);
        }
    }
    EXPECT_EQ(boxes.shown.size(), 1u);  // only the capture's own message

    // An edited value: No keeps the rows, the edit and the button as they were.
    ValueBox* value = dialog->result_pane().value_rows()[0];
    value->setFocus();
    QTest::keyClicks(value, "x");
    const std::vector<std::string> edited = row_texts();
    ASSERT_NE(edited, rows_in(CodeChoice::Utf8));
    boxes.answers = {false};
    button(IDC_EUC)->click();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].title, "確認");
    EXPECT_EQ(boxes.shown[1].icon, MessageIcon::Question);
    EXPECT_EQ(row_texts(), edited);
    EXPECT_TRUE(button(IDC_UTF8)->isChecked());
    // Yes shows it again, the edit gone.
    boxes.answers = {true};
    button(IDC_EUC)->click();
    EXPECT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(row_texts(), rows_in(CodeChoice::EucJp));
    EXPECT_TRUE(button(IDC_EUC)->isChecked());

    // With 自動認識 on, the next capture votes again.
    button(IDC_AUTO_DETECT)->click();
    ASSERT_TRUE(button(IDC_AUTO_DETECT)->isChecked());
    capture("k=%E3%81%82");
    EXPECT_TRUE(button(IDC_UTF8)->isChecked());
}

TEST_F(MainDialogTest, SecondCaptureReplacesTheRowsFromTheTop) {
    std::string many;
    for (int i = 0; i < 30; ++i) {
        many += "f" + std::to_string(i) + "=v&";
    }
    capture(many);
    ASSERT_EQ(dialog->result_pane().name_rows().size(), 30u);
    dialog->result_pane().on_scroll(ScrollCode::PageDown, 0);
    EXPECT_EQ(dialog->result_scroll().value(), 100);
    capture("only=one");
    EXPECT_EQ(row_texts(), (std::vector<std::string>{"only=one"}));
    EXPECT_EQ(dialog->result_scroll().value(), 0);
    EXPECT_EQ(dialog->result_pane().name_rows()[0]->mapTo(dialog->result_pane().client(), QPoint(0, 0)), QPoint(0, 0));
    EXPECT_EQ(boxes.shown.size(), 2u);
}

// A key as the window system delivers it to `window`: to its focused
// control first, then up to the dialog.
void key(QWindow* window, Qt::Key code, Qt::KeyboardModifiers modifiers, const QString& text, bool press,
         bool repeat = false) {
    QTest::simulateEvent(window, press, code, modifiers, text, repeat);
}

// Cancelling before any client, each way the waiting dialog offers: ｷｬﾝｾﾙ
// clicked or pressed by Space, Esc, its close box. The rows of the capture
// before stay.
TEST_F(MainDialogTest, CancelBeforeAnyClientKeepsTheRows) {
    capture("kept=yes");
    const std::vector<std::pair<const char*, std::function<void(WaitingDialog&)>>> ways = {
        {"click", [](WaitingDialog& waiting) { static_cast<QAbstractButton*>(waiting.control(IDCANCEL))->click(); }},
        {"Space",
         [](WaitingDialog& waiting) {
             waiting.control(IDCANCEL)->setFocus();
             key(waiting.windowHandle(), Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
             key(waiting.windowHandle(), Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), false);
         }},
        {"Esc",
         [](WaitingDialog& waiting) {
             key(waiting.windowHandle(), Qt::Key_Escape, Qt::NoModifier, QStringLiteral("\x1b"), true);
         }},
        {"close box", [](WaitingDialog& waiting) { waiting.close(); }},
    };
    for (const auto& [way, cancel] : ways) {
        SCOPED_TRACE(way);
        boxes.shown.clear();
        static_cast<QLineEdit*>(dialog->control(IDC_PORT))->setText(QStringLiteral("0"));
        ui_test::when_idle(
            [&] {
                WaitingDialog* waiting = dialog->waiting_dialog();
                ASSERT_NE(waiting, nullptr);
                EXPECT_TRUE(waiting->isVisible());
                EXPECT_TRUE(waiting->isEnabled());
                EXPECT_FALSE(waiting->control(IDOK)->isVisible());
                // Its hidden OK does not end it: the wait goes on.
                waiting->accept();
                EXPECT_TRUE(waiting->isVisible());
                cancel(*waiting);
            },
            20);
        button(IDOK)->click();
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, "フォーム情報の取得をキャンセルしました");
        EXPECT_EQ(boxes.shown[0].title, "処理結果");
        EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Information);
        EXPECT_EQ(dialog->last_report().outcome, RunOutcome::Cancelled);
        EXPECT_EQ(row_texts(), (std::vector<std::string>{"kept=yes"}));
        EXPECT_TRUE(dialog->isEnabled());
    }
}

// Enter in the waiting dialog ends nothing, with ｷｬﾝｾﾙ focused: pressed
// once, held down until the key repeats, or on the keypad. The wait goes on
// and the form sent afterwards is captured.
TEST_F(MainDialogTest, EnterInTheWaitingDialogDoesNothing) {
    capture("after=enter", [&] {
        WaitingDialog* waiting = dialog->waiting_dialog();
        ASSERT_NE(waiting, nullptr);
        waiting->control(IDCANCEL)->setFocus();
        QWindow* window = waiting->windowHandle();
        const QString enter = QStringLiteral("\r");
        key(window, Qt::Key_Return, Qt::NoModifier, enter, true);
        for (int repeat = 0; repeat < 5; ++repeat) {
            key(window, Qt::Key_Return, Qt::NoModifier, enter, true, true);
        }
        key(window, Qt::Key_Return, Qt::NoModifier, enter, false);
        key(window, Qt::Key_Enter, Qt::KeypadModifier, enter, true);
        key(window, Qt::Key_Enter, Qt::KeypadModifier, enter, false);
        QApplication::processEvents();
        EXPECT_EQ(dialog->waiting_dialog(), waiting);
        EXPECT_TRUE(waiting->isVisible());
        EXPECT_FALSE(waiting->cancelled());
    });
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "フォーム情報を取得しました");
    EXPECT_EQ(row_texts(), (std::vector<std::string>{"after=enter"}));
}

// Enter starts a capture, also from a value box; Ctrl+Enter there makes a
// new line instead.
TEST_F(MainDialogTest, EnterStartsACapture) {
    capture("v=x");
    boxes.shown.clear();
    static_cast<QLineEdit*>(dialog->control(IDC_PORT))->setText(QStringLiteral("0"));
    int started = 0;
    const auto cancel_when_waiting = [&] {
        ui_test::when_idle(
            [&] {
                if (WaitingDialog* waiting = dialog->waiting_dialog(); waiting != nullptr) {
                    ++started;
                    waiting->close();
                }
            },
            20);
    };
    cancel_when_waiting();
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    ValueBox* value = dialog->result_pane().value_rows()[0];
    value->setFocus();
    QTest::keyClick(value, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(value->text(), QStringLiteral("\r\nx"));
    cancel_when_waiting();
    QTest::keyClick(value, Qt::Key_Return);
    EXPECT_EQ(started, 2);
    EXPECT_EQ(boxes.shown.size(), 2u);
}

// A port that cannot be listened on (another capture holds it): the thread
// ends at once and the run reports the failure.
TEST_F(MainDialogTest, ListenerThatCannotListenGivesTheFailureMessage) {
    const test_support::RunningCapture blocker;
    ASSERT_NE(blocker.port(), 0);
    static_cast<QLineEdit*>(dialog->control(IDC_PORT))->setText(QString::number(blocker.port()));
    button(IDOK)->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "フォーム情報の取得に失敗しました");
    EXPECT_EQ(boxes.shown[0].title, "エラー");
    EXPECT_EQ(boxes.shown[0].icon, MessageIcon::Warning);
}

}  // namespace
}  // namespace postori
