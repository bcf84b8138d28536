// SPDX-License-Identifier: GPL-3.0-or-later
// The program's windows: the main dialog with its settings, window menu and
// exit question; the version box; the waiting dialog of a capture.
#pragma once

#include <QIcon>
#include <memory>
#include <optional>

#include "app/core/capture_run.h"
#include "app/ui/template_dialog.h"

class QMenu;
class QScrollBar;

namespace postori {

class ResultPane;

// The window menu's commands besides the version item: the window system's
// own minimise and close.
inline constexpr unsigned SC_MINIMIZE = 0xF020;
inline constexpr unsigned SC_CLOSE = 0xF060;

// The version box: the icon, the program's name and version, and OK.
class VersionDialog final : public TemplateDialog {
public:
    explicit VersionDialog(QWidget* owner);
};

// Shown while a capture waits: "ｷｬﾝｾﾙ" (clicked or by Space), Esc and the
// close box cancel; Enter does nothing.
class WaitingDialog final : public TemplateDialog {
public:
    WaitingDialog();
    void on_ok() override;
    void on_cancel() override;
    [[nodiscard]] bool cancelled() const { return cancelled_ != 0; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::int32_t cancelled_ = 0;
};

class MainDialog final : public TemplateDialog, private CaptureRunHost {
public:
    // `start` starts the listener thread of each capture (tests put in their
    // own).
    explicit MainDialog(ListenerStarter start = start_capture_thread);
    ~MainDialog() override;

    // The members the controls exchange with.
    [[nodiscard]] MainSettings& members() { return members_; }
    // Exchanges the members with the controls: from the controls when
    // `from_controls`, else towards them.
    void update_data(bool from_controls);

    // The capture run.
    void on_ok() override;
    // The exit question.
    void on_cancel() override;

    // A window-menu command: the version item, minimise or close.
    void on_system_command(unsigned id);

    [[nodiscard]] ResultPane& result_pane() const { return *result_pane_; }
    [[nodiscard]] QScrollBar& result_scroll() const { return *result_scroll_; }
    // The window menu, opened by a right-click on the dialog's background
    // and by Alt+Space.
    [[nodiscard]] QMenu& system_menu() const { return *system_menu_; }
    [[nodiscard]] WaitingDialog* waiting_dialog() const { return waiting_.get(); }
    [[nodiscard]] bool capturing() const { return capturing_; }
    // What the last capture run reported.
    [[nodiscard]] const RunReport& last_report() const { return last_report_; }

    // Shows the fields of `result` as rows, read in `code`, and `code` as
    // the code chosen; the window keeps the result it shows.
    void show_result(const CaptureResult& result, std::optional<CodeChoice> code);
    // The capture the rows show now, and the code they were read in; none
    // before the first completed capture.
    [[nodiscard]] const std::optional<CaptureResult>& shown_result() const { return shown_result_; }
    [[nodiscard]] std::optional<CodeChoice> shown_code() const { return shown_code_; }

    void show_version_box();

    // A code button was clicked: after a capture, the rows are shown again
    // read in `code` (asking first when a value was edited since they were
    // shown; on No everything stays as it was). The button also stands for
    // the next capture, as before.
    void on_code_button(std::optional<CodeChoice> code);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void on_init_dialog();

    // The window as the capture run's host.
    [[nodiscard]] MainSettings read_settings() override;
    void wait_begun(const CaptureJob& job) override;
    [[nodiscard]] bool cancel_requested() override;
    void dispatch_pending() override;
    void wait_ended() override;
    void report(const RunReport& report) override;
    void show_capture(const CaptureResult& result, std::optional<CodeChoice> code, CodeSource source) override;

    ListenerStarter start_;
    ResultPane* result_pane_ = nullptr;
    QScrollBar* result_scroll_ = nullptr;
    MainSettings members_;
    QIcon icon_;
    QMenu* system_menu_ = nullptr;
    std::unique_ptr<WaitingDialog> waiting_;
    bool capturing_ = false;
    RunReport last_report_;
    std::optional<CaptureResult> shown_result_;
    std::optional<CodeChoice> shown_code_;
};

}  // namespace postori
