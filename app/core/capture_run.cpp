// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/capture_run.h"

#include <string>
#include <system_error>
#include <utility>

#include "capture/listener.h"

namespace postori {
namespace {

class CaptureThreadHandle final : public ListenerThread {
public:
    explicit CaptureThreadHandle(std::shared_ptr<CaptureJob> job) : thread_(std::move(job)) {}
    bool wait_for(std::chrono::milliseconds timeout) override { return thread_.wait_for(timeout); }

private:
    CaptureThread thread_;
};

RunReport reported(CaptureRunHost& host, RunReport report) {
    host.report(report);
    return report;
}

}  // namespace

std::unique_ptr<ListenerThread> start_capture_thread(std::shared_ptr<CaptureJob> job) {
    return std::make_unique<CaptureThreadHandle>(std::move(job));
}

CodeDecision decide_code(const CaptureResult& result, bool auto_detect, std::optional<CodeChoice> chosen) {
    if (!auto_detect) {
        return {chosen, CodeSource::Settings};
    }
    if (result.declared_code) {
        return {result.declared_code, CodeSource::CharsetField};
    }
    return {result.code_choice, CodeSource::Vote};
}

RunReport run_capture(CaptureRunHost& host, const ListenerStarter& start) {
    const MainSettings settings = host.read_settings();

    // The job is shared with the thread, which keeps it alive for as long as
    // it runs, also when the run has given up waiting after a cancel.
    auto job = std::make_shared<CaptureJob>(CaptureRequest{settings.port, settings.bind_address, host.on_ignored()});
    std::unique_ptr<ListenerThread> thread;
    int start_error = 0;
    try {
        thread = start(job);
    } catch (const std::system_error& error) {
        start_error = error.code().value();
    }
    if (!thread) {
        return reported(host, {RunOutcome::Failed, RunFailure::NoThread, start_error});
    }

    host.wait_begun(*job);
    // The wait ends either way once: a thread that has ended wins over a
    // cancel asked for after it (a console's time-out or signal can come
    // without any dispatch in between).
    bool ended = false;
    while (!ended && !host.cancel_requested()) {
        ended = thread->wait_for(WAIT_SLICE_MS);
        if (!ended) {
            host.dispatch_pending();
        }
    }
    const bool cancelled = !ended;
    host.wait_ended();

    if (cancelled) {
        // Closes the listening socket and every connection; the thread ends
        // at its next wake, and a capture it was storing is left to it.
        job->cancel();
        thread->wait_for(CANCEL_WAIT_MS);
        return reported(host, {RunOutcome::Cancelled});
    }
    const CaptureResult& captured = job->result();
    if (captured.head.method != RequestMethod::Post) {
        const int error = job->setup_error();
        return reported(host, {RunOutcome::Failed, error != 0 ? RunFailure::CannotListen : RunFailure::NoPost, error});
    }
    RunReport completed{RunOutcome::Completed};
    completed.body_cut = !captured.complete;
    host.report(completed);
    const CodeDecision decision = decide_code(captured, settings.auto_detect, settings.code_choice);
    host.show_capture(captured, decision.code, decision.source);
    return completed;
}

}  // namespace postori
