// SPDX-License-Identifier: GPL-3.0-or-later
// The capture run: what the start button does, from reading the settings to
// showing the captured form. It runs on its host's thread and keeps the host
// alive while the listener thread waits for a form. Everything it needs of
// the host goes through CaptureRunHost, in the program's own terms (wait,
// cancel, report an outcome, show a capture), so the same run serves the main
// window, a console tool and the tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capture/capture_job.h"

namespace postori {

// Time-out of each wait for the listener thread while the run waits.
inline constexpr std::chrono::milliseconds WAIT_SLICE_MS{5};
// Longest wait for the listener thread after a cancel.
inline constexpr std::chrono::milliseconds CANCEL_WAIT_MS{500};

// The settings a run starts from: the one settings type of the program,
// held by the main window's members and by postori-capture's options.
struct MainSettings {
    std::int32_t port = DEFAULT_PORT;
    // The code the values are converted from; none when no code button is
    // checked (the values are then shown as they came).
    std::optional<CodeChoice> code_choice = CodeChoice::EucJp;
    // Automatic recognition: the vote's code is used instead, and shown.
    bool auto_detect = true;
    // The address to listen on (see CaptureRequest): empty for every
    // interface, as the window listens; the console tool may narrow it.
    std::string bind_address = {};
};

// How a run ended.
enum class RunOutcome {
    Completed,  // a "POST" was captured and shown
    Cancelled,  // the user cancelled; what was shown stays
    Failed,     // no "POST" was captured; what was shown stays
};

// Why a run failed.
enum class RunFailure {
    None,          // it did not fail
    NoThread,      // no listener thread could be started
    CannotListen,  // the listening socket could not be set up (a port in use...)
    NoPost,        // the listener thread ended without a "POST"
};

// What a run reports: exactly one per run.
struct RunReport {
    RunOutcome outcome = RunOutcome::Failed;
    RunFailure failure = RunFailure::None;
    // The errno value behind NoThread or CannotListen when it is known, else 0.
    int error = 0;
    // Completed, but part of the body is missing from what is shown (its
    // peer closed early, or it sent more than is kept).
    bool body_cut = false;
};

// What chose the code a capture's values are read in.
enum class CodeSource {
    Vote,          // automatic recognition: the vote over the values
    CharsetField,  // automatic recognition: the form's "_charset_" field
    Settings,      // the code chosen by hand (automatic recognition off)
};

// The code a captured form is read in, and what chose it: with automatic
// recognition, the code the form's "_charset_" field names, else the vote's;
// without, the settings' choice (none when no code is chosen).
struct CodeDecision {
    std::optional<CodeChoice> code;
    CodeSource source = CodeSource::Vote;
};
[[nodiscard]] CodeDecision decide_code(const CaptureResult& result, bool auto_detect, std::optional<CodeChoice> chosen);

// What a run needs of its host: the main window, or a console.
class CaptureRunHost {
public:
    virtual ~CaptureRunHost() = default;
    // The settings the run starts from (the window reads its controls).
    [[nodiscard]] virtual MainSettings read_settings() = 0;
    // What the listener thread calls for each request it drops that is not
    // a "POST" (see CaptureRequest::on_ignored); none by default. It runs on
    // the listener thread and may outlive the host after a cancel, so it
    // must hold what it uses.
    [[nodiscard]] virtual std::function<void(std::string_view method, std::string_view target)> on_ignored() {
        return {};
    }
    // The listener thread of `job` has started: the wait begins (the window
    // shows its waiting dialog and disables itself).
    virtual void wait_begun(const CaptureJob& job) = 0;
    // True once the user has asked to end the wait; asked before every pass.
    [[nodiscard]] virtual bool cancel_requested() = 0;
    // Between two waits of WAIT_SLICE_MS: handles what is pending for the
    // host (input, painting) without waiting for more.
    virtual void dispatch_pending() = 0;
    // The wait is over (the window enables itself again and destroys the
    // waiting dialog).
    virtual void wait_ended() = 0;
    // Tells the user how the run ended (the window: one message box).
    virtual void report(const RunReport& report) = 0;
    // After the report of a completed run: shows the captured form, its
    // values converted from `code` (decide_code()'s), and `code` as the
    // choice made; `source` says what chose it.
    virtual void show_capture(const CaptureResult& result, std::optional<CodeChoice> code, CodeSource source) = 0;
};

// A started listener thread, as the run waits on it.
class ListenerThread {
public:
    virtual ~ListenerThread() = default;
    // Waits at most `timeout` for the thread to end; true when it has.
    virtual bool wait_for(std::chrono::milliseconds timeout) = 0;
};

// Starts the listener thread for `job`; throws std::system_error (or returns
// nullptr) when no thread can be started.
using ListenerStarter = std::function<std::unique_ptr<ListenerThread>(std::shared_ptr<CaptureJob>)>;

// The real one: capture_thread on a thread of its own.
[[nodiscard]] std::unique_ptr<ListenerThread> start_capture_thread(std::shared_ptr<CaptureJob> job);

// One whole capture run: reads the settings, starts the listener thread on
// the settings' port, waits in slices of WAIT_SLICE_MS handling the host's
// events between them until the thread ends or the user cancels (a cancel
// gives the thread CANCEL_WAIT_MS to end), reports the outcome, and for a
// captured "POST" has the host show it. Returns what it reported.
RunReport run_capture(CaptureRunHost& host, const ListenerStarter& start = start_capture_thread);

}  // namespace postori
