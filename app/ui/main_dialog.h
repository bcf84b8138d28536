// The program's windows: the main dialog with its settings, window menu and
// exit question; the version box; the waiting dialog of a capture.
#pragma once

#include <QIcon>
#include <memory>

#include "app/core/capture_run.h"
#include "app/ui/template_dialog.h"

class QMenu;
class QScrollBar;

namespace postori {

class ResultPane;

// The version box: the icon, the program's name and version, and OK.
class VersionDialog final : public TemplateDialog {
public:
    explicit VersionDialog(QWidget* owner);
};

// Shown while a capture waits: "ｷｬﾝｾﾙ" and the close box cancel.
class WaitingDialog final : public TemplateDialog {
public:
    WaitingDialog();
    void on_ok() override;
    void on_cancel() override;
    [[nodiscard]] bool cancelled() const { return cancelled_ != 0; }

private:
    std::int32_t cancelled_ = 0;
};

class MainDialog final : public TemplateDialog, private CaptureRunWindow {
public:
    // `start` starts the listener thread of each capture (tests put in their
    // own).
    explicit MainDialog(ListenerStarter start = start_capture_thread);
    ~MainDialog() override;

    // The members the controls exchange with.
    [[nodiscard]] MainSettings& members() override { return members_; }
    void update_data(bool from_controls) override;

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
    // The outcome of the last capture run.
    [[nodiscard]] RunOutcome last_outcome() const { return last_outcome_; }

    void show_version_box();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void on_init_dialog();

    // What the capture run needs of the window.
    void show_waiting_dialog() override;
    [[nodiscard]] bool waiting_cancelled() override;
    void destroy_waiting_dialog() override;
    void enable_window(bool enable) override;
    void dispatch_pending() override;
    int message_box(std::string_view text, std::string_view title, unsigned type) override;
    [[nodiscard]] ResultRows& result_rows() override;

    ListenerStarter start_;
    ResultPane* result_pane_ = nullptr;
    QScrollBar* result_scroll_ = nullptr;
    MainSettings members_;
    QIcon icon_;
    QMenu* system_menu_ = nullptr;
    std::unique_ptr<WaitingDialog> waiting_;
    bool capturing_ = false;
    RunOutcome last_outcome_ = RunOutcome::Failed;
};

}  // namespace postori
