// The capture run: what the start button does, from reading the settings to
// the rows of the result view. It runs on the UI thread and keeps the
// windows alive while the listener thread waits for a form; everything it
// needs of the windows goes through CaptureRunWindow, so the run itself is
// plain code that tests drive without any window.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "capture/listener.h"

namespace postori {

// Time-out of each wait for the listener thread while the run waits.
inline constexpr std::chrono::milliseconds WAIT_SLICE_MS{5};
// Longest wait for the listener thread after a cancel.
inline constexpr std::chrono::milliseconds CANCEL_WAIT_MS{500};

// The main window's settings, as its members hold them.
struct MainSettings {
    std::int32_t port = DEFAULT_PORT;
    // The index of the checked code button (a CodeChoice), -1 when none is.
    std::int32_t code_choice = static_cast<std::int32_t>(CodeChoice::EucJp);
    // Automatic recognition: 1 checked, 0 unchecked.
    std::int32_t auto_detect = 1;
};

// The result view as the run uses it.
class ResultRows {
public:
    virtual ~ResultRows() = default;
    // Removes every row and puts the scroll position back to 0.
    virtual void clear_rows() = 0;
    // The width of the pane's client area, in pixels.
    [[nodiscard]] virtual int client_width() const = 0;
    // Adds a row laid out for `pane_width`: the raw name and the converted
    // value (both Shift_JIS byte strings), `lines` lines high, its top at `top`.
    virtual void add_row(std::string_view name, std::string_view value, int lines, int top, int pane_width) = 0;
    // Sets the scroll range for rows `total_height` pixels high.
    virtual void set_scroll_extent(std::int64_t total_height) = 0;
};

// The main window as the run uses it.
class CaptureRunWindow {
public:
    virtual ~CaptureRunWindow() = default;
    [[nodiscard]] virtual MainSettings& members() = 0;
    // Exchanges the members with the controls: from the controls when
    // `from_controls`, else towards them.
    virtual void update_data(bool from_controls) = 0;
    // Creates and shows the modeless waiting dialog.
    virtual void show_waiting_dialog() = 0;
    // True once the user has cancelled in the waiting dialog.
    [[nodiscard]] virtual bool waiting_cancelled() = 0;
    virtual void destroy_waiting_dialog() = 0;
    virtual void enable_window(bool enable) = 0;
    // Handles what input and painting is pending for the program's windows,
    // without waiting for more.
    virtual void dispatch_pending() = 0;
    // Shows a message box owned by the main window (texts in Shift_JIS,
    // `type` of MB_* values) and returns the button pressed (IDOK, IDYES...).
    virtual int message_box(std::string_view text, std::string_view title, unsigned type) = 0;
    [[nodiscard]] virtual ResultRows& result_rows() = 0;
};

// A started listener thread, as the run waits on it.
class ListenerThread {
public:
    virtual ~ListenerThread() = default;
    // Waits at most `timeout` for the thread to end; true when it has.
    virtual bool wait_for(std::chrono::milliseconds timeout) = 0;
};

// Starts the listener thread for `job`; throws std::system_error when no
// thread can be started.
using ListenerStarter = std::function<std::unique_ptr<ListenerThread>(std::shared_ptr<CaptureJob>)>;

// The real one: capture_thread on a thread of its own.
[[nodiscard]] std::unique_ptr<ListenerThread> start_capture_thread(std::shared_ptr<CaptureJob> job);

enum class RunOutcome {
    Completed,  // a "POST" was captured and its rows are shown
    Cancelled,  // the user cancelled; rows and settings unchanged
    Failed,     // the thread ended without a "POST", or could not start
};

// One whole capture run. Returns after its one message box.
RunOutcome run_capture(CaptureRunWindow& window, const ListenerStarter& start = start_capture_thread);

// Lays out one captured field as a row at `top` and returns the row's height:
// the value percent-decoded (up to a decoded zero byte) and converted to
// Shift_JIS by `code_choice` (EUC-JP and UTF-8 converted, anything else as
// is), its line count from its carriage returns, the name exactly as received.
int add_field_row(ResultRows& rows, const FormField& field, std::int32_t code_choice, int top, int pane_width);

}  // namespace postori
