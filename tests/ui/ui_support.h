// SPDX-License-Identifier: GPL-3.0-or-later
// What the window tests share: a Qt application without a display, message
// boxes answered by the test, and a check that every test leaves no window
// behind.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ui/main_dialog.h"
#include "app/ui/platform.h"
#include "codec/display.h"

namespace postori::ui_test {

// Message boxes that record what was shown (decoded to UTF-8) and answer
// questions from a script: No when it runs out.
class ScriptedMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        std::string text;
        std::string title;
        MessageIcon icon;
    };
    std::deque<bool> answers;
    std::vector<Shown> shown;
    // Runs while the box is "open", as a user would act meanwhile.
    std::function<void()> while_open;

    void show(QWidget*, std::string_view text, std::string_view title, MessageIcon icon) override {
        record(text, title, icon);
    }

    bool ask(QWidget*, std::string_view text, std::string_view title) override {
        record(text, title, MessageIcon::Question);
        if (answers.empty()) {
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

private:
    void record(std::string_view text, std::string_view title, MessageIcon icon) {
        shown.push_back({sjis_to_utf8(text), sjis_to_utf8(title), icon});
        if (while_open) {
            while_open();
        }
    }
};

// Processes events until `done` holds or `timeout_ms` passes; returns done().
inline bool wait_until(const std::function<bool()>& done, int timeout_ms = 10'000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeout_ms) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Runs `action` from the event loop as soon as it turns, e.g. inside a modal
// dialog's loop or a capture's wait.
inline void when_idle(std::function<void()> action, int delay_ms = 0) {
    QTimer::singleShot(delay_ms, qApp, std::move(action));
}

// The shown top-level window whose title is `title` (UTF-8), or nullptr.
inline QWidget* window_titled(const char* title) {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == QString::fromUtf8(title)) {
            return widget;
        }
    }
    return nullptr;
}

// Installs scripted message boxes for the test and checks at its end that
// no top-level window is left.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { set_message_boxes(&boxes); }
    void TearDown() override {
        set_message_boxes(nullptr);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            ADD_FAILURE() << "window left: " << widget->metaObject()->className() << " \""
                          << widget->windowTitle().toStdString() << "\"";
        }
    }
    ScriptedMessageBoxes boxes;
};

// The real main dialog, shown, for a test.
class MainWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        dialog = std::make_unique<MainDialog>();
        dialog->show();
    }
    void TearDown() override {
        dialog.reset();
        WindowTest::TearDown();
    }

    QAbstractButton* button(int id) const { return static_cast<QAbstractButton*>(dialog->control(id)); }

    std::unique_ptr<MainDialog> dialog;
};

}  // namespace postori::ui_test
