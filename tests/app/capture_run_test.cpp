// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/capture_run.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/core/result_layout.h"
#include "tests/support/form_request.h"
#include "tests/support/loopback_client.h"
#include "tests/support/running_capture.h"

namespace postori {
namespace {

using std::chrono::milliseconds;

// A host that records what the run asked of it, in order.
class FakeHost final : public CaptureRunHost {
public:
    MainSettings settings;
    std::vector<std::string> steps;
    bool cancel = false;
    // Cancels from this ask on (the first ask is 0), as a console's
    // time-out does without any dispatch.
    std::optional<int> cancel_from_ask;
    int asks = 0;
    // Runs at each pass of the wait loop.
    std::function<void(int pass)> on_dispatch;
    int passes = 0;
    const CaptureJob* job = nullptr;
    std::vector<RunReport> reports;
    std::vector<FormField> shown_fields;
    std::optional<CodeChoice> shown_code;
    CodeSource shown_source = CodeSource::Vote;

    MainSettings read_settings() override {
        steps.push_back("settings");
        return settings;
    }
    void wait_begun(const CaptureJob& started) override {
        steps.push_back("wait begun");
        job = &started;
    }
    bool cancel_requested() override { return cancel || (cancel_from_ask && asks++ >= *cancel_from_ask); }
    void dispatch_pending() override {
        if (on_dispatch) {
            on_dispatch(passes);
        }
        ++passes;
    }
    void wait_ended() override { steps.push_back("wait ended"); }
    void report(const RunReport& report) override {
        steps.push_back("report");
        reports.push_back(report);
    }
    void show_capture(const CaptureResult& result, std::optional<CodeChoice> code, CodeSource source) override {
        steps.push_back("show");
        shown_fields = result.fields;
        shown_code = code;
        shown_source = source;
    }
};

// A listener thread that has already ended with `outcome` done to the job,
// or (without one) one that runs until the job is cancelled.
class FakeThread final : public ListenerThread {
public:
    // `waited` (if given) adds up the time-outs the run waited with.
    FakeThread(std::shared_ptr<CaptureJob> job, bool ended, milliseconds* waited = nullptr)
        : job_(std::move(job)), ended_(ended), waited_(waited) {}
    bool wait_for(milliseconds timeout) override {
        if (waited_ != nullptr) {
            *waited_ += timeout;
        }
        return ended_ || job_->cancelled();
    }

private:
    std::shared_ptr<CaptureJob> job_;
    bool ended_;
    milliseconds* waited_;
};

ListenerStarter ended_with(std::function<void(CaptureJob&)> outcome) {
    return [outcome](std::shared_ptr<CaptureJob> job) -> std::unique_ptr<ListenerThread> {
        outcome(*job);
        return std::make_unique<FakeThread>(job, true);
    };
}

void captured(CaptureJob& job, std::vector<FormField> fields, CodeChoice vote,
              std::optional<CodeChoice> declared = std::nullopt, bool complete = true) {
    CaptureResult result;
    result.head.method = RequestMethod::Post;
    result.fields = std::move(fields);
    result.code_choice = vote;
    result.declared_code = declared;
    result.complete = complete;
    job.store_result(std::move(result));
}

TEST(CaptureRun, CompletedCaptureIsReportedThenShown) {
    FakeHost host;
    host.settings.port = 8123;
    int port_seen = 0;
    const RunReport report = run_capture(host, ended_with([&](CaptureJob& job) {
                                             port_seen = job.request().port;
                                             captured(job, {{"a", "1"}, {"b", "2"}}, CodeChoice::Utf8);
                                         }));
    EXPECT_EQ(report.outcome, RunOutcome::Completed);
    EXPECT_EQ(report.failure, RunFailure::None);
    EXPECT_EQ(port_seen, 8123);
    EXPECT_EQ(host.steps, (std::vector<std::string>{"settings", "wait begun", "wait ended", "report", "show"}));
    ASSERT_EQ(host.reports.size(), 1u);
    EXPECT_EQ(host.reports[0].outcome, RunOutcome::Completed);
    EXPECT_FALSE(host.reports[0].body_cut);
    ASSERT_EQ(host.shown_fields.size(), 2u);
    EXPECT_EQ(host.shown_fields[1].value, "2");

    // A body that came in part is still shown, and the report says so.
    FakeHost cut;
    run_capture(cut, ended_with([](CaptureJob& job) { captured(job, {{"a", "1"}}, CodeChoice::Utf8, {}, false); }));
    ASSERT_EQ(cut.reports.size(), 1u);
    EXPECT_TRUE(cut.reports[0].body_cut);
    EXPECT_EQ(cut.shown_fields.size(), 1u);
}

// With automatic recognition the code the form's "_charset_" field names is
// used, else the vote's; without it the settings' choice, also when no code
// is chosen.
TEST(CaptureRun, CodeUsedFollowsTheFormOnlyWithAutomaticRecognition) {
    using enum CodeSource;
    struct Case {
        bool auto_detect;
        std::optional<CodeChoice> chosen;
        CodeChoice vote;
        std::optional<CodeChoice> declared;
        std::optional<CodeChoice> used;
        CodeSource source;
    };
    const Case cases[] = {
        {true, CodeChoice::ShiftJis, CodeChoice::EucJp, std::nullopt, CodeChoice::EucJp, Vote},
        {false, CodeChoice::ShiftJis, CodeChoice::EucJp, std::nullopt, CodeChoice::ShiftJis, Settings},
        {false, CodeChoice::Utf8, CodeChoice::EucJp, CodeChoice::ShiftJis, CodeChoice::Utf8, Settings},
        {true, CodeChoice::Utf8, CodeChoice::EucJp, CodeChoice::ShiftJis, CodeChoice::ShiftJis, CharsetField},
        {false, std::nullopt, CodeChoice::Utf8, std::nullopt, std::nullopt, Settings},
        {true, std::nullopt, CodeChoice::EucJp, std::nullopt, CodeChoice::EucJp, Vote},
    };
    for (const Case& c : cases) {
        FakeHost host;
        host.settings.auto_detect = c.auto_detect;
        host.settings.code_choice = c.chosen;
        run_capture(host, ended_with([&](CaptureJob& job) { captured(job, {{"k", "v"}}, c.vote, c.declared); }));
        EXPECT_EQ(host.shown_code, c.used) << "auto " << c.auto_detect << " vote " << static_cast<int>(c.vote);
        EXPECT_EQ(host.shown_source, c.source);
    }
}

// A cancel that comes after the thread has ended with a form does not lose
// the form.
TEST(CaptureRun, ThreadThatEndedWinsOverALaterCancel) {
    FakeHost host;
    host.cancel_from_ask = 1;
    const RunReport report = run_capture(host, ended_with([](CaptureJob& job) {
                                             captured(job, {{"a", "1"}}, CodeChoice::Utf8);
                                         }));
    EXPECT_EQ(report.outcome, RunOutcome::Completed);
    EXPECT_EQ(host.shown_fields.size(), 1u);
}

TEST(CaptureRun, ThreadEndingWithoutPostFailsAndShowsNothing) {
    FakeHost host;
    const RunReport report = run_capture(host, ended_with([](CaptureJob&) {}));
    EXPECT_EQ(report.outcome, RunOutcome::Failed);
    EXPECT_EQ(report.failure, RunFailure::NoPost);
    EXPECT_EQ(report.error, 0);
    EXPECT_EQ(host.steps, (std::vector<std::string>{"settings", "wait begun", "wait ended", "report"}));
}

TEST(CaptureRun, ThreadThatCannotStartFailsWithoutWaiting) {
    struct Case {
        ListenerStarter starter;
        int error;
    };
    const Case cases[] = {
        {[](std::shared_ptr<CaptureJob>) -> std::unique_ptr<ListenerThread> {
             throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
         },
         EAGAIN},
        {[](std::shared_ptr<CaptureJob>) -> std::unique_ptr<ListenerThread> { return nullptr; }, 0},
    };
    for (const Case& c : cases) {
        FakeHost host;
        const RunReport report = run_capture(host, c.starter);
        EXPECT_EQ(report.outcome, RunOutcome::Failed);
        EXPECT_EQ(report.failure, RunFailure::NoThread);
        EXPECT_EQ(report.error, c.error);
        EXPECT_EQ(host.steps, (std::vector<std::string>{"settings", "report"}));
    }
}

TEST(CaptureRun, CancelEndsTheWaitAndShowsNothing) {
    FakeHost host;
    host.on_dispatch = [&](int pass) { host.cancel = pass == 3; };
    milliseconds waited{0};
    std::shared_ptr<CaptureJob> job_seen;
    const RunReport report = run_capture(host, [&](std::shared_ptr<CaptureJob> job) -> std::unique_ptr<ListenerThread> {
        job_seen = job;
        return std::make_unique<FakeThread>(job, false, &waited);
    });
    EXPECT_EQ(report.outcome, RunOutcome::Cancelled);
    EXPECT_TRUE(job_seen->cancelled());
    // Four slices of 5 ms, each followed by one dispatch, then the wait
    // after the cancel.
    EXPECT_EQ(host.passes, 4);
    EXPECT_EQ(waited, milliseconds(4 * 5 + 500));
    EXPECT_EQ(host.steps, (std::vector<std::string>{"settings", "wait begun", "wait ended", "report"}));
}

// --- the real listener thread on the loopback address ---

TEST(CaptureRun, RealListenerCapturesAPostedForm) {
    FakeHost host;
    host.settings.port = 0;  // any free port; the client reads the one bound
    std::thread client;
    host.on_dispatch = [&](int) {
        if (!client.joinable() && host.job != nullptr && host.job->listening_port() != 0) {
            const int port = host.job->listening_port();
            client = std::thread([port] {
                test_support::send_to_loopback(
                    port, test_support::post_request("%E5%90%8D=%E5%B1%B1%E7%94%B0&memo=line1%0D%0Aline2"));
            });
        }
    };
    const RunReport report = run_capture(host);
    client.join();
    ASSERT_EQ(report.outcome, RunOutcome::Completed);
    ASSERT_EQ(host.shown_fields.size(), 2u);
    EXPECT_EQ(host.shown_fields[0].name, "%E5%90%8D");
    EXPECT_EQ(host.shown_fields[1].value, "line1%0D%0Aline2");
    EXPECT_EQ(host.shown_code, CodeChoice::Utf8);
}

TEST(CaptureRun, RealListenerCancelledBeforeAnyClient) {
    FakeHost host;
    host.settings.port = 0;
    host.on_dispatch = [&](int pass) { host.cancel = pass >= 2; };
    EXPECT_EQ(run_capture(host).outcome, RunOutcome::Cancelled);
    EXPECT_TRUE(host.shown_fields.empty());
}

TEST(CaptureRun, RealListenerOnAPortInUseCannotListen) {
    const test_support::RunningCapture holder;
    ASSERT_NE(holder.port(), 0);
    FakeHost host;
    host.settings.port = holder.port();
    const RunReport report = run_capture(host);
    EXPECT_EQ(report.outcome, RunOutcome::Failed);
    EXPECT_EQ(report.failure, RunFailure::CannotListen);
    EXPECT_EQ(report.error, EADDRINUSE);
}

}  // namespace
}  // namespace postori
