// SPDX-License-Identifier: GPL-3.0-or-later
// The window layer's two waits the user sees:
//
// BM_ResultView: from the listener thread's end to the rows of 10, 100 and
// 1000 fields shown. A listener thread that has already captured a form (its
// job filled by the starter, UTF-8 Japanese values percent-encoded as a
// browser sends them, some of several lines) stands in for the network; the
// main dialog's OK runs the whole capture, and the clock runs from the
// moment the thread is seen to have ended to the first row painted with
// nothing left pending. The one dialog serves every run, so each run first
// clears the rows of the one before (counter cleared_rows); the dialog is
// shown and one run made before the clock starts.
//
// BM_ResultViewFresh: the same on a new dialog for each run, as the first
// capture after the program's start: nothing to clear.
//
// BM_StartToMainWindow: from spawning postori_start_probe (the program's
// start up to its main window shown) to its line on stdout.
//
// Besides the rows made and cleared, the counters give milliseconds per run:
// ms_per_run the whole (the time column), build_ms from the thread's end to
// OK returning (message box, clearing, converting and adding the rows),
// paint_ms from there to the rows shown; and cleanup_ms, after the rows are
// shown, destroying the rows of the run before (left to the event loop's next
// turn, as in the program).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEvent>
#include <QLineEdit>
#include <QString>
#include <QWindow>
#include <QtGlobal>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/capture_run.h"
#include "app/core/resources.h"
#include "app/ui/main_dialog.h"
#include "app/ui/platform.h"
#include "app/ui/result_pane.h"
#include "app/ui/value_box.h"
#include "bench/qt_bench_support.h"
#include "capture/listener.h"
#include "tests/support/form_request.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double ms_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Every message box closed at once, every question answered Yes.
class AnswerOk final : public postori::MessageBoxes {
public:
    void show(QWidget*, std::string_view, std::string_view, postori::MessageIcon) override {}
    bool ask(QWidget*, std::string_view, std::string_view) override { return true; }
};

// What a contact or order form holds; a quarter of the values have line
// breaks (one to three CR LF).
constexpr std::string_view FORM_VALUES[] = {
    "山田太郎",
    "東京都千代田区丸の内1-2-3 丸の内ビル5階",
    "yamada.taro@example.co.jp",
    "お世話になっております。\r\n資料の送付をお願いいたします。",
    "ヤマダ タロウ",
    "〒100-0005",
    "03-1234-5678",
    "ご注文の件\r\n数量：3個\r\n納期：来週金曜日\r\nよろしくお願いいたします。",
};

std::vector<postori::FormField> form_fields(std::size_t count) {
    std::vector<postori::FormField> fields;
    fields.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        fields.push_back({"field" + std::to_string(k),
                          postori::test_support::form_urlencode(FORM_VALUES[k % std::size(FORM_VALUES)])});
    }
    return fields;
}

// Handles what is pending until `done` holds; false when it does not within
// five seconds.
template <typename Done>
bool process_events_until(Done done) {
    const Clock::time_point deadline = Clock::now() + 5s;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        QCoreApplication::sendPostedEvents();
        QApplication::processEvents(QEventLoop::AllEvents);
    }
    return true;
}

bool exposed(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle != nullptr && handle->isExposed();
}

using postori::bench::PaintWatch;

// The network side of the runs: a listener thread that has captured a
// form. Its wait says "still running" a few times, so the run shows its
// waiting dialog and handles its events as it would while a browser is
// slow, and then "ended", noting the moment.
struct CapturedForm {
    static constexpr int WAITS_BEFORE_END = 3;

    std::vector<postori::FormField> fields;
    Clock::time_point thread_ended;

    class Thread final : public postori::ListenerThread {
    public:
        explicit Thread(CapturedForm& form) : form_(form) {}
        bool wait_for(std::chrono::milliseconds) override {
            if (waits_++ < WAITS_BEFORE_END) {
                return false;
            }
            form_.thread_ended = Clock::now();
            return true;
        }

    private:
        CapturedForm& form_;
        int waits_ = 0;
    };

    postori::ListenerStarter starter() {
        return [this](std::shared_ptr<postori::CaptureJob> job) -> std::unique_ptr<postori::ListenerThread> {
            postori::CaptureResult result;
            result.head.method = postori::RequestMethod::Post;
            result.fields = fields;
            result.code_choice = postori::CodeChoice::Utf8;
            job->store_result(std::move(result));
            return std::make_unique<Thread>(*this);
        };
    }
};

struct RunTimes {
    double total_ms = 0;    // thread's end to rows shown
    double build_ms = 0;    // thread's end to OK returning
    double paint_ms = 0;    // OK returning to rows shown
    double cleanup_ms = 0;  // afterwards: destroying the rows of the run before
};

// One capture run on `dialog`, timed from the listener thread's end to its
// first row painted and nothing left pending. An error text when the run did
// not show `rows` rows.
std::string timed_run(postori::MainDialog& dialog, CapturedForm& form, std::size_t rows, RunTimes& times) {
    dialog.on_ok();
    const Clock::time_point ok_returned = Clock::now();
    const postori::ResultPane& pane = dialog.result_pane();
    if (dialog.last_report().outcome != postori::RunOutcome::Completed || pane.name_rows().size() != rows ||
        pane.value_rows().size() != rows) {
        return "the run did not complete with every row";
    }
    PaintWatch watch;
    pane.name_rows().front()->installEventFilter(&watch);
    pane.value_rows().front()->installEventFilter(&watch);
    if (!process_events_until([&] { return watch.painted; })) {
        return "the rows were not painted";
    }
    // What the paint left behind.
    QCoreApplication::sendPostedEvents();
    QApplication::processEvents(QEventLoop::AllEvents);
    const Clock::time_point shown = Clock::now();
    pane.name_rows().front()->removeEventFilter(&watch);
    pane.value_rows().front()->removeEventFilter(&watch);

    times.total_ms = ms_between(form.thread_ended, shown);
    times.build_ms = ms_between(form.thread_ended, ok_returned);
    times.paint_ms = ms_between(ok_returned, shown);

    // The rows of the run before are destroyed when the program's event loop
    // next turns, after the new ones are shown; here that turn comes now,
    // outside the time above.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    times.cleanup_ms = ms_between(shown, Clock::now());
    return {};
}

bool show_and_wait(postori::MainDialog& dialog) {
    dialog.show();
    return process_events_until([&] { return exposed(dialog); });
}

void report(benchmark::State& state, std::size_t rows, std::size_t cleared_rows, const RunTimes& sums) {
    const auto per_run = [](double value) { return benchmark::Counter(value, benchmark::Counter::kAvgIterations); };
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["cleared_rows"] = static_cast<double>(cleared_rows);
    state.counters["ms_per_run"] = per_run(sums.total_ms);
    state.counters["build_ms"] = per_run(sums.build_ms);
    state.counters["paint_ms"] = per_run(sums.paint_ms);
    state.counters["cleanup_ms"] = per_run(sums.cleanup_ms);
}

void add_times(RunTimes& sums, const RunTimes& run) {
    sums.total_ms += run.total_ms;
    sums.build_ms += run.build_ms;
    sums.paint_ms += run.paint_ms;
    sums.cleanup_ms += run.cleanup_ms;
}

void BM_ResultView(benchmark::State& state) {
    const auto rows = static_cast<std::size_t>(state.range(0));
    CapturedForm form{form_fields(rows), {}};
    postori::MainDialog dialog(form.starter());
    if (!show_and_wait(dialog)) {
        state.SkipWithError("the main dialog was not exposed");
        return;
    }
    // A first run, so every timed one clears as many rows as it adds.
    RunTimes run;
    if (const std::string error = timed_run(dialog, form, rows, run); !error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    RunTimes sums;
    for (auto _ : state) {
        if (const std::string error = timed_run(dialog, form, rows, run); !error.empty()) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.SetIterationTime(run.total_ms / 1000.0);
        add_times(sums, run);
    }
    report(state, rows, rows, sums);
}

void BM_ResultViewFresh(benchmark::State& state) {
    const auto rows = static_cast<std::size_t>(state.range(0));
    CapturedForm form{form_fields(rows), {}};
    RunTimes sums;
    for (auto _ : state) {
        postori::MainDialog dialog(form.starter());
        if (!show_and_wait(dialog)) {
            state.SkipWithError("the main dialog was not exposed");
            break;
        }
        RunTimes run;
        if (const std::string error = timed_run(dialog, form, rows, run); !error.empty()) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.SetIterationTime(run.total_ms / 1000.0);
        add_times(sums, run);
    }
    report(state, rows, 0, sums);
}
// A child process whose stdout is the read end of a pipe.
struct Probe {
    pid_t pid = -1;
    int out = -1;
};

bool spawn_probe(Probe& probe, Clock::time_point& spawned) {
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);

    // The same environment (and so the same Qt platform: offscreen unless
    // QT_QPA_PLATFORM says otherwise), with the moment of the spawn.
    std::vector<std::string> env_strings;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!std::string_view(*entry).starts_with("POSTORI_PROBE_SPAWN_NS=")) {
            env_strings.emplace_back(*entry);
        }
    }
    env_strings.emplace_back();
    std::vector<char*> env;
    for (std::string& entry : env_strings) {
        env.push_back(entry.data());
    }
    env.push_back(nullptr);
    std::string probe_path = POSTORI_START_PROBE;
    char* args[] = {probe_path.data(), nullptr};

    spawned = Clock::now();
    env_strings.back() =
        "POSTORI_PROBE_SPAWN_NS=" + std::to_string(std::chrono::nanoseconds(spawned.time_since_epoch()).count());
    env[env.size() - 2] = env_strings.back().data();
    const int error = ::posix_spawn(&probe.pid, probe_path.c_str(), &actions, nullptr, args, env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    if (error != 0) {
        ::close(pipe_fds[0]);
        return false;
    }
    probe.out = pipe_fds[0];
    return true;
}

// Reads the probe's line; empty when it ends or ten seconds pass first.
std::string read_line(int fd) {
    const Clock::time_point deadline = Clock::now() + 10s;
    std::string line;
    char buffer[256];
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd ready{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&ready, 1, static_cast<int>(left)) <= 0) {
            return {};
        }
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            return {};
        }
        line.append(buffer, static_cast<std::size_t>(got));
    }
    return line.substr(0, line.find('\n'));
}

// The probe's exit status, or -1 when it did not exit normally.
int reap(const Probe& probe, bool kill_first) {
    if (kill_first) {
        ::kill(probe.pid, SIGKILL);
    }
    ::close(probe.out);
    int status = 0;
    if (::waitpid(probe.pid, &status, 0) != probe.pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

void BM_StartToMainWindow(benchmark::State& state) {
    double own_start_ms = 0;
    double own_main_ms = 0;
    for (auto _ : state) {
        Probe probe;
        Clock::time_point spawned;
        if (!spawn_probe(probe, spawned)) {
            state.SkipWithError("postori_start_probe could not be started");
            break;
        }
        const std::string line = read_line(probe.out);
        const Clock::time_point line_read = Clock::now();
        double since_start = 0;
        double since_main = 0;
        const bool parsed = std::sscanf(line.c_str(), "shown %lf %lf", &since_start, &since_main) == 2;
        if (reap(probe, !parsed) != 0 || !parsed) {
            state.SkipWithError("postori_start_probe did not report its window shown");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(line_read - spawned).count());
        own_start_ms += since_start;
        own_main_ms += since_main;
    }
    // The probe's own clocks: since its spawn, and since its main (the
    // difference is exec and loading the libraries).
    state.counters["probe_start_ms"] = benchmark::Counter(own_start_ms, benchmark::Counter::kAvgIterations);
    state.counters["probe_main_ms"] = benchmark::Counter(own_main_ms, benchmark::Counter::kAvgIterations);
}
// Each benchmark runs a fixed number of times: ten runs of the same dialog,
// five fresh dialogs, ten starts. A run asked for a minimum time under 0.1 s
// (the suite's smoke test) makes one of each, which only checks that they
// still work.
bool smoke_run(int argc, char** argv) {
    constexpr std::string_view MIN_TIME = "--benchmark_min_time=";
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg.starts_with(MIN_TIME)) {
            return std::strtod(std::string(arg.substr(MIN_TIME.size())).c_str(), nullptr) < 0.1;
        }
    }
    return false;
}

void register_benchmarks(bool smoke) {
    const auto iterations = [smoke](benchmark::IterationCount count) -> benchmark::IterationCount {
        return smoke ? 1 : count;
    };
    for (const std::int64_t fields : {10, 100, 1000}) {
        benchmark::RegisterBenchmark("BM_ResultView", BM_ResultView)
            ->Arg(fields)
            ->Iterations(iterations(10))
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    for (const std::int64_t fields : {10, 100, 1000}) {
        benchmark::RegisterBenchmark("BM_ResultViewFresh", BM_ResultViewFresh)
            ->Arg(fields)
            ->Iterations(iterations(5))
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("BM_StartToMainWindow", BM_StartToMainWindow)
        ->Iterations(iterations(10))
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
    postori::bench::install_quiet_platform_notes();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    postori::install_translations(app);
    postori::install_font_substitutes();
    QApplication::setWindowIcon(postori::main_icon());
    AnswerOk answer_ok;
    postori::set_message_boxes(&answer_ok);

    register_benchmarks(smoke_run(argc, argv));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    postori::set_message_boxes(nullptr);
    return 0;
}
