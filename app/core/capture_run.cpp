#include "app/core/capture_run.h"

#include <string>
#include <system_error>
#include <utility>

#include "app/core/captured_values.h"
#include "app/core/resources.h"
#include "app/core/result_layout.h"
#include "capture/form_body.h"

namespace postori {
namespace {

class CaptureThreadHandle final : public ListenerThread {
public:
    explicit CaptureThreadHandle(std::shared_ptr<CaptureJob> job) : thread_(std::move(job)) {}
    bool wait_for(std::chrono::milliseconds timeout) override { return thread_.wait_for(timeout); }

private:
    CaptureThread thread_;
};

}  // namespace

std::unique_ptr<ListenerThread> start_capture_thread(std::shared_ptr<CaptureJob> job) {
    return std::make_unique<CaptureThreadHandle>(std::move(job));
}

int add_field_row(ResultRows& rows, const FormField& field, std::int32_t code_choice, int top, int pane_width) {
    const std::string value = value_as_sjis(field.value, static_cast<CodeChoice>(code_choice));
    const int lines = row_line_count(count_char(value.c_str(), '\r'));
    rows.add_row(field.name, value, lines, top, pane_width);
    return lines * LINE_HEIGHT;
}

RunOutcome run_capture(CaptureRunWindow& window, const ListenerStarter& start) {
    MainSettings& members = window.members();
    window.update_data(true);

    // The job is shared with the thread, which keeps it alive for as long as
    // it runs, also when the run has given up waiting after a cancel.
    auto job = std::make_shared<CaptureJob>(CaptureRequest{members.port});
    std::unique_ptr<ListenerThread> thread;
    try {
        thread = start(job);
    } catch (const std::system_error&) {
        thread = nullptr;
    }
    if (!thread) {
        window.message_box(text::FAILED, text::FAILED_TITLE, MB_OK | MB_ICONEXCLAMATION);
        return RunOutcome::Failed;
    }

    window.show_waiting_dialog();
    window.enable_window(false);
    while (!window.waiting_cancelled()) {
        if (thread->wait_for(WAIT_SLICE_MS)) {
            break;
        }
        window.dispatch_pending();
    }
    window.enable_window(true);
    const bool cancelled = window.waiting_cancelled();
    window.destroy_waiting_dialog();

    if (cancelled) {
        // Closes the listening socket and every connection; the thread ends
        // at its next wake, and a capture it was writing is left to it.
        job->cancel();
        thread->wait_for(CANCEL_WAIT_MS);
        window.message_box(text::CANCELLED, text::CANCELLED_TITLE, MB_OK | MB_ICONINFORMATION);
        return RunOutcome::Cancelled;
    }
    const CaptureResult& captured = job->result();
    if (captured.head.method != RequestMethod::Post) {
        window.message_box(text::FAILED, text::FAILED_TITLE, MB_OK | MB_ICONEXCLAMATION);
        return RunOutcome::Failed;
    }

    window.message_box(text::COMPLETED, text::COMPLETED_TITLE, MB_OK | MB_ICONINFORMATION);
    if (members.auto_detect != 0) {
        members.code_choice = static_cast<std::int32_t>(captured.code_choice);
    }
    ResultRows& rows = window.result_rows();
    rows.clear_rows();
    const int pane_width = rows.client_width();
    // At most MAX_FIELDS rows of at most MAX_ROW_LINES lines: the top stays
    // far inside an int.
    int top = 0;
    for (const FormField& field : captured.fields) {
        top += add_field_row(rows, field, members.code_choice, top, pane_width);
    }
    rows.set_scroll_extent(top);
    window.update_data(false);
    return RunOutcome::Completed;
}

}  // namespace postori
