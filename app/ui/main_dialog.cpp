// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/main_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QWindow>
#include <iterator>

#include "app/core/captured_values.h"
#include "app/ui/platform.h"
#include "app/ui/result_pane.h"

namespace postori {
namespace {

// The index of the code button of `code` in the group starting at IDC_EUC
// (-1: none checked); the buttons stand in the order of CODE_NAMES.
std::int32_t code_button_index(std::optional<CodeChoice> code) {
    for (std::int32_t index = 0; index < static_cast<std::int32_t>(std::size(CODE_NAMES)); ++index) {
        if (code == CODE_NAMES[index].code) {
            return index;
        }
    }
    return -1;
}

std::optional<CodeChoice> code_of_button(std::int32_t index) {
    if (index < 0 || index >= static_cast<std::int32_t>(std::size(CODE_NAMES))) {
        return std::nullopt;
    }
    return CODE_NAMES[index].code;
}

}  // namespace

VersionDialog::VersionDialog(QWidget* owner) : TemplateDialog(IDD_VERSION, owner) {
    setWindowIcon(main_icon());
}

WaitingDialog::WaitingDialog() : TemplateDialog(IDD_WAITING) {
    setAttribute(Qt::WA_QuitOnClose, false);
    // A focused button of a Qt dialog answers Enter; here none may: one
    // Enter too many after starting with Enter (or Enter held past the key
    // repeat) would end the wait. Space still presses ｷｬﾝｾﾙ.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
    }
}

void WaitingDialog::keyPressEvent(QKeyEvent* event) {
    // Enter ends nothing here: the only default button is the hidden OK.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    TemplateDialog::keyPressEvent(event);
}

// The waiting dialog's OK button is never shown; ending the dialog by it
// would leave the run waiting with nothing on screen to cancel it.
void WaitingDialog::on_ok() {}

void WaitingDialog::on_cancel() {
    cancelled_ = 1;
    TemplateDialog::on_cancel();
}

MainDialog::MainDialog(ListenerStarter start)
    : TemplateDialog(IDD_MAIN, nullptr,
                     [](const ControlTemplate& item, QWidget* parent) -> QWidget* {
                         return item.id == IDC_RESULT_PANE ? new ResultPane(parent) : nullptr;
                     }),
      start_(std::move(start)),
      icon_(main_icon()) {
    connect(static_cast<QPushButton*>(control(IDC_VERSION)), &QPushButton::clicked, this,
            [this] { show_version_box(); });
    for (const int id : {IDC_EUC, IDC_SHIFT_JIS, IDC_UTF8}) {
        connect(static_cast<QAbstractButton*>(control(id)), &QAbstractButton::clicked, this,
                [this, id] { on_code_button(code_of_button(id - IDC_EUC)); });
    }
    on_init_dialog();
}

MainDialog::~MainDialog() = default;

void MainDialog::on_init_dialog() {
    update_data(false);

    system_menu_ = new QMenu(this);
    const auto add_command = [this](ResourceText text, unsigned id) {
        QAction* action = system_menu_->addAction(window_text(text.sjis()));
        connect(action, &QAction::triggered, this, [this, id] { on_system_command(id); });
    };
    add_command(text::MENU_MINIMIZE, SC_MINIMIZE);
    add_command(text::MENU_CLOSE, SC_CLOSE);
    const ResourceText version_item = load_string(IDS_VERSION_MENU);
    if ((dialog_template().style & DS_SYSMENU) != 0 && !version_item.utf8.empty()) {
        system_menu_->addSeparator();
        add_command(version_item, ID_VERSION_MENU);
    }
    auto* alt_space = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(alt_space, &QShortcut::activated, this, [this] { system_menu_->popup(mapToGlobal(QPoint(0, 0))); });

    setWindowIcon(icon_);
    control(IDOK)->setFocus();
}

void MainDialog::update_data(bool from_controls) {
    // The first exchange takes over the result pane and its scroll bar.
    if (result_pane_ == nullptr) {
        result_pane_ = static_cast<ResultPane*>(control(IDC_RESULT_PANE));
        result_scroll_ = static_cast<QScrollBar*>(control(IDC_RESULT_SCROLL));
        result_pane_->attach_scroll_bar(result_scroll_);
    }
    ddx_text(IDC_PORT, members_.port, from_controls);
    std::int32_t code_button = code_button_index(members_.code_choice);
    ddx_radio(IDC_EUC, code_button, from_controls);
    members_.code_choice = code_of_button(code_button);
    ddx_check(IDC_AUTO_DETECT, members_.auto_detect, from_controls);
}

void MainDialog::on_ok() {
    if (capturing_) {
        return;
    }
    capturing_ = true;
    last_report_ = run_capture(*this, start_);
    capturing_ = false;
}

void MainDialog::on_cancel() {
    // While a capture runs the window is disabled and cannot be closed.
    if (capturing_) {
        return;
    }
    if (ask_yes_no(this, text::EXIT_QUESTION.sjis(), text::EXIT_TITLE.sjis())) {
        TemplateDialog::on_cancel();
    }
}

void MainDialog::on_system_command(unsigned id) {
    if ((id & 0xFFF0) == ID_VERSION_MENU) {
        show_version_box();
    } else if (id == SC_MINIMIZE) {
        showMinimized();
    } else if (id == SC_CLOSE) {
        close();
    }
}

void MainDialog::show_version_box() {
    VersionDialog box(this);
    box.exec();
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
    // A right-click on the dialog's background (or a text or frame on it)
    // opens the window menu; controls keep their own.
    QWidget* under = childAt(event->pos());
    if (under == nullptr || qobject_cast<QLabel*>(under) != nullptr || qobject_cast<QGroupBox*>(under) != nullptr) {
        system_menu_->popup(event->globalPos());
        return;
    }
    TemplateDialog::contextMenuEvent(event);
}

MainSettings MainDialog::read_settings() {
    update_data(true);
    return members_;
}

void MainDialog::wait_begun(const CaptureJob&) {
    // A window of its own, so disabling the main window leaves it working;
    // kept above the main window and centred on the screen the main window
    // is on.
    waiting_ = std::make_unique<WaitingDialog>();
    waiting_->setWindowIcon(icon_);
    waiting_->winId();
    if (QWindow* handle = waiting_->windowHandle(); handle != nullptr) {
        handle->setTransientParent(windowHandle());
    }
    if (QScreen* on = screen(); on != nullptr) {
        const QRect area = on->availableGeometry();
        waiting_->move(area.center() - QPoint(waiting_->width() / 2, waiting_->height() / 2));
    }
    waiting_->show();
    waiting_->raise();
    waiting_->activateWindow();
    setEnabled(false);
}

bool MainDialog::cancel_requested() {
    return waiting_ != nullptr && waiting_->cancelled();
}

void MainDialog::dispatch_pending() {
    QApplication::processEvents(QEventLoop::AllEvents);
}

void MainDialog::wait_ended() {
    setEnabled(true);
    waiting_.reset();
    activateWindow();
}

void MainDialog::report(const RunReport& report) {
    switch (report.outcome) {
        case RunOutcome::Completed: {
            // A body that came in part says so on a line of its own.
            std::string message(text::COMPLETED.sjis());
            if (report.body_cut) {
                message += "\n";
                message += text::COMPLETED_CUT.sjis();
            }
            show_message(this, message, text::COMPLETED_TITLE.sjis(), MessageIcon::Information);
            break;
        }
        case RunOutcome::Cancelled:
            show_message(this, text::CANCELLED.sjis(), text::CANCELLED_TITLE.sjis(), MessageIcon::Information);
            break;
        case RunOutcome::Failed:
            show_message(this, text::FAILED.sjis(), text::FAILED_TITLE.sjis(), MessageIcon::Warning);
            break;
    }
}

void MainDialog::show_capture(const CaptureResult& result, std::optional<CodeChoice> code, CodeSource /*source*/) {
    show_result(result, code);
}

void MainDialog::on_code_button(std::optional<CodeChoice> code) {
    // What the controls hold now (自動認識 may have changed since the capture);
    // the button keeps its meaning for the next capture either way.
    update_data(true);
    if (!shown_result_ || code == shown_code_) {
        return;
    }
    // The same capture read in the code chosen, at once; edits made since it
    // was shown would be lost, so they are asked about first.
    if (result_pane_->edited_since_shown() &&
        !ask_yes_no(this, text::RESHOW_QUESTION.sjis(), text::RESHOW_TITLE.sjis())) {
        members_.code_choice = shown_code_;
        update_data(false);
        return;
    }
    show_result(*shown_result_, code);
}

void MainDialog::show_result(const CaptureResult& result, std::optional<CodeChoice> code) {
    // A copy: the run's job goes when the run ends.
    if (!shown_result_ || &result != &*shown_result_) {
        shown_result_ = result;
    }
    shown_code_ = code;
    result_pane_->show_rows(result_rows(shown_result_->fields, code));
    members_.code_choice = code;
    update_data(false);
}

}  // namespace postori
