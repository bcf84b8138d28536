#include "app/core/capture_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/core/resources.h"
#include "app/core/result_layout.h"
#include "tests/support/form_request.h"
#include "tests/support/loopback_client.h"

namespace postori {
namespace {

using std::chrono::milliseconds;

struct Row {
    std::string name;
    std::string value;
    int lines;
    int top;
};

// The main window as a record of what the run did to it.
class FakeWindow final : public CaptureRunWindow, public ResultRows {
public:
    MainSettings controls;  // what the controls show
    MainSettings settings;  // the members
    std::vector<std::string> steps;
    std::vector<Row> rows;
    std::int64_t extent = -1;
    int width = 442;
    bool cancel_requested = false;
    bool waiting_shown = false;
    bool enabled = true;
    // Runs at each pass of the wait loop.
    std::function<void(int pass)> on_dispatch;
    int passes = 0;

    MainSettings& members() override { return settings; }
    void update_data(bool from_controls) override {
        steps.push_back(from_controls ? "read" : "write");
        if (from_controls) {
            settings = controls;
        } else {
            controls = settings;
        }
    }
    void show_waiting_dialog() override {
        steps.push_back("waiting shown");
        waiting_shown = true;
    }
    bool waiting_cancelled() override { return cancel_requested; }
    void destroy_waiting_dialog() override {
        steps.push_back("waiting destroyed");
        waiting_shown = false;
    }
    void enable_window(bool enable) override {
        steps.push_back(enable ? "enabled" : "disabled");
        enabled = enable;
    }
    void dispatch_pending() override {
        if (on_dispatch) {
            on_dispatch(passes);
        }
        ++passes;
    }
    int message_box(std::string_view text, std::string_view title, unsigned type) override {
        steps.push_back("box " + std::string(title));
        box_text = std::string(text);
        box_type = type;
        return IDOK;
    }
    ResultRows& result_rows() override { return *this; }

    void clear_rows() override {
        steps.push_back("clear");
        rows.clear();
    }
    int client_width() const override { return width; }
    void add_row(std::string_view name, std::string_view value, int lines, int top, int pane_width) override {
        EXPECT_EQ(pane_width, width);
        rows.push_back({std::string(name), std::string(value), lines, top});
    }
    void set_scroll_extent(std::int64_t total_height) override { extent = total_height; }

    std::string box_text;
    unsigned box_type = 0;
};

// A listener thread that has already ended with `outcome` written into the
// job, or (without one) one that runs until the job is cancelled.
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

void captured(CaptureJob& job, std::vector<FormField> fields, CodeChoice vote) {
    job.store_result({{RequestMethod::Post, 0, 0}, std::move(fields), vote});
}

TEST(CaptureRun, CompletedCaptureBuildsOneRowPerFieldInOrder) {
    FakeWindow window;
    int port_seen = 0;
    const RunOutcome outcome =
        run_capture(window, ended_with([&](CaptureJob& job) {
                        port_seen = job.request().port;
                        captured(job, {{"%E5%90%8D", "%E5%B1%B1%E7%94%B0"}, {"memo", "a%0D%0Ab%0D%0Ac"}, {"empty", ""}},
                                 CodeChoice::Utf8);
                    }));
    EXPECT_EQ(outcome, RunOutcome::Completed);
    EXPECT_EQ(port_seen, DEFAULT_PORT);
    const std::vector<std::string> steps{"read",
                                         "waiting shown",
                                         "disabled",
                                         "enabled",
                                         "waiting destroyed",
                                         "box " + std::string(text::COMPLETED_TITLE),
                                         "clear",
                                         "write"};
    EXPECT_EQ(window.steps, steps);
    EXPECT_EQ(window.box_text, text::COMPLETED);
    EXPECT_EQ(window.box_type, MB_OK | MB_ICONINFORMATION);
    ASSERT_EQ(window.rows.size(), 3u);
    // The name exactly as received; the value decoded and converted.
    EXPECT_EQ(window.rows[0].name, "%E5%90%8D");
    EXPECT_EQ(window.rows[0].value, "\x8ER\x93\x63");  // 山田
    EXPECT_EQ(window.rows[1].value, "a\r\nb\r\nc");
    EXPECT_EQ(window.rows[2].value, "");
    EXPECT_EQ(window.rows[0].top, 0);
    EXPECT_EQ(window.rows[1].top, 20);
    EXPECT_EQ(window.rows[1].lines, 2);
    EXPECT_EQ(window.rows[2].top, 60);
    EXPECT_EQ(window.extent, 80);
    // Automatic recognition on: the vote is shown as the code used.
    EXPECT_EQ(window.controls.code_choice, static_cast<std::int32_t>(CodeChoice::Utf8));
}

TEST(CaptureRun, CodeChoiceFollowsTheVoteOnlyWithAutomaticRecognition) {
    struct Case {
        std::int32_t auto_detect;
        std::int32_t chosen;
        CodeChoice vote;
        std::int32_t used;
        std::string value;  // of %A4%A2 (あ in EUC-JP, broken UTF-8)
    };
    const Case cases[] = {
        {1, 1, CodeChoice::EucJp, 0, "\x82\xA0"},
        {0, 1, CodeChoice::EucJp, 1, "\xA4\xA2"},
        {0, 2, CodeChoice::EucJp, 2, "??"},
        {1, 2, CodeChoice::Utf8, 2, "??"},
        // No button checked and no automatic recognition: the bytes as they are.
        {0, -1, CodeChoice::Utf8, -1, "\xA4\xA2"},
        {1, -1, CodeChoice::EucJp, 0, "\x82\xA0"},
    };
    for (const Case& c : cases) {
        FakeWindow window;
        window.controls.auto_detect = c.auto_detect;
        window.controls.code_choice = c.chosen;
        run_capture(window, ended_with([&](CaptureJob& job) { captured(job, {{"k", "%A4%A2"}}, c.vote); }));
        SCOPED_TRACE(::testing::Message() << "auto " << c.auto_detect << " chosen " << c.chosen);
        EXPECT_EQ(window.controls.code_choice, c.used);
        ASSERT_EQ(window.rows.size(), 1u);
        EXPECT_EQ(window.rows[0].value, c.value);
    }
}

TEST(CaptureRun, LineCountsComeFromCarriageReturnsClampedToFour) {
    struct Case {
        const char* value;
        int lines;
    };
    const Case cases[] = {
        {"one", 1},        {"a%0Db", 1}, {"a%0D%0Ab%0D%0Ac", 2}, {"%0D%0D%0D%0D", 4}, {"%0D%0D%0D%0D%0D%0D%0D", 4},
        {"a%0Ab%0Ac", 1},   // line feeds alone are not counted
        {"x%00%0D%0D", 1},  // the value ends at a decoded zero byte
    };
    FakeWindow window;
    std::vector<FormField> fields;
    for (const Case& c : cases) {
        fields.push_back({"f", c.value});
    }
    run_capture(window, ended_with([&](CaptureJob& job) { captured(job, fields, CodeChoice::ShiftJis); }));
    ASSERT_EQ(window.rows.size(), std::size(cases));
    int top = 0;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(window.rows[i].lines, cases[i].lines) << cases[i].value;
        EXPECT_EQ(window.rows[i].top, top);
        top += cases[i].lines * LINE_HEIGHT;
    }
    EXPECT_EQ(window.rows.back().value, "x");
    EXPECT_EQ(window.extent, top);
}

TEST(CaptureRun, EmptyBodyCompletesWithNoRows) {
    FakeWindow window;
    window.rows.push_back({"old", "row", 1, 0});
    EXPECT_EQ(run_capture(window, ended_with([](CaptureJob& job) { captured(job, {}, CodeChoice::EucJp); })),
              RunOutcome::Completed);
    EXPECT_TRUE(window.rows.empty());
    EXPECT_EQ(window.extent, 0);
}

TEST(CaptureRun, ThreadEndingWithoutPostFailsAndChangesNothing) {
    FakeWindow window;
    window.rows.push_back({"old", "row", 1, 0});
    window.controls.code_choice = 2;
    EXPECT_EQ(run_capture(window, ended_with([](CaptureJob&) {})), RunOutcome::Failed);
    EXPECT_EQ(window.box_text, text::FAILED);
    EXPECT_EQ(window.box_type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(window.steps.back(), "box " + std::string(text::FAILED_TITLE));
    EXPECT_EQ(window.rows.size(), 1u);
    EXPECT_EQ(window.extent, -1);
    EXPECT_EQ(window.controls.code_choice, 2);
    EXPECT_TRUE(window.enabled);
}

TEST(CaptureRun, ThreadThatCannotStartFailsWithoutWaiting) {
    const ListenerStarter starters[] = {
        [](std::shared_ptr<CaptureJob>) -> std::unique_ptr<ListenerThread> {
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        },
        [](std::shared_ptr<CaptureJob>) -> std::unique_ptr<ListenerThread> { return nullptr; },
    };
    for (const ListenerStarter& starter : starters) {
        FakeWindow window;
        EXPECT_EQ(run_capture(window, starter), RunOutcome::Failed);
        EXPECT_EQ(window.box_text, text::FAILED);
        const std::vector<std::string> steps{"read", "box " + std::string(text::FAILED_TITLE)};
        EXPECT_EQ(window.steps, steps);
    }
}

TEST(CaptureRun, CancelEndsTheWaitAndKeepsTheRows) {
    FakeWindow window;
    window.rows.push_back({"old", "row", 1, 0});
    window.on_dispatch = [&](int pass) { window.cancel_requested = pass == 3; };
    milliseconds waited{0};
    std::shared_ptr<CaptureJob> job_seen;
    const RunOutcome outcome =
        run_capture(window, [&](std::shared_ptr<CaptureJob> job) -> std::unique_ptr<ListenerThread> {
            job_seen = job;
            return std::make_unique<FakeThread>(job, false, &waited);
        });
    EXPECT_EQ(outcome, RunOutcome::Cancelled);
    EXPECT_TRUE(job_seen->cancelled());
    // Four slices of 5 ms, each followed by one dispatch, then the wait
    // after the cancel.
    EXPECT_EQ(window.passes, 4);
    EXPECT_EQ(waited, milliseconds(4 * 5 + 500));
    EXPECT_EQ(window.box_text, text::CANCELLED);
    EXPECT_EQ(window.box_type, MB_OK | MB_ICONINFORMATION);
    const std::vector<std::string> steps{"read",    "waiting shown",     "disabled",
                                         "enabled", "waiting destroyed", "box " + std::string(text::CANCELLED_TITLE)};
    EXPECT_EQ(window.steps, steps);
    ASSERT_EQ(window.rows.size(), 1u);
    EXPECT_EQ(window.rows[0].name, "old");
}

// The real listener thread on the loopback address: a form posted while the
// run waits, and a cancel before any client came.
TEST(CaptureRun, RealListenerCapturesAPostedForm) {
    FakeWindow window;
    window.controls.port = 0;  // any free port; the client reads the one bound
    std::shared_ptr<CaptureJob> job;
    std::thread client;
    window.on_dispatch = [&](int) {
        if (!client.joinable() && job && job->listening_port() != 0) {
            const int port = job->listening_port();
            client = std::thread([port] {
                test_support::send_to_loopback(
                    port, test_support::post_request("%E5%90%8D=%E5%B1%B1%E7%94%B0&memo=line1%0D%0Aline2"));
            });
        }
    };
    const RunOutcome outcome = run_capture(window, [&](std::shared_ptr<CaptureJob> started) {
        job = started;
        return start_capture_thread(std::move(started));
    });
    client.join();
    ASSERT_EQ(outcome, RunOutcome::Completed);
    ASSERT_EQ(window.rows.size(), 2u);
    EXPECT_EQ(window.rows[0].name, "%E5%90%8D");
    EXPECT_EQ(window.rows[0].value, "\x8ER\x93\x63");
    EXPECT_EQ(window.rows[1].value, "line1\r\nline2");
    EXPECT_EQ(window.controls.code_choice, static_cast<std::int32_t>(CodeChoice::Utf8));
}

TEST(CaptureRun, RealListenerCancelledBeforeAnyClient) {
    FakeWindow window;
    window.controls.port = 0;
    window.on_dispatch = [&](int pass) { window.cancel_requested = pass >= 2; };
    EXPECT_EQ(run_capture(window), RunOutcome::Cancelled);
    EXPECT_EQ(window.box_text, text::CANCELLED);
    EXPECT_TRUE(window.rows.empty());
}

}  // namespace
}  // namespace postori
