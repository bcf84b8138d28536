// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/console_capture.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "app/core/capture_json.h"
#include "app/core/capture_run.h"
#include "app/core/captured_values.h"

namespace postori {
namespace {

volatile std::sig_atomic_t interrupted_by = 0;

extern "C" void on_interrupt(int signal_number) {
    interrupted_by = signal_number;
}

// The bytes of a name as received, with anything outside printable ASCII
// shown as %XX so the terminal sees no raw bytes.
std::string printable(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", byte);
            out += escape;
        }
    }
    return out;
}

// Where the capture listens, as messages name it.
std::string listening_place(const std::string& bind_address, std::int32_t port) {
    return (bind_address.empty() ? "" : bind_address + " ") + "port " + std::to_string(port);
}

// The console as the run's host: the wait is a line on the error stream,
// SIGINT, SIGTERM and the time-out cancel it, the outcome and the capture
// are printed.
class ConsoleHost final : public CaptureRunHost {
public:
    ConsoleHost(const CaptureOptions& options, std::FILE* out, std::FILE* err)
        : options_(options), out_(out), err_(err) {
        interrupted_by = 0;
        struct sigaction action {};
        action.sa_handler = on_interrupt;
        sigaction(SIGINT, &action, &previous_int_);
        sigaction(SIGTERM, &action, &previous_term_);
    }
    ~ConsoleHost() override {
        sigaction(SIGINT, &previous_int_, nullptr);
        sigaction(SIGTERM, &previous_term_, nullptr);
    }
    ConsoleHost(const ConsoleHost&) = delete;
    ConsoleHost& operator=(const ConsoleHost&) = delete;

    [[nodiscard]] CaptureExit exit_status() const { return exit_; }

    // Without --code the vote decides, as with automatic recognition.
    MainSettings read_settings() override { return options_.settings; }

    // Each request dropped for not being a "POST" is one line on the error
    // stream, once for each method and target (browsers retry a GET that gets
    // no answer many times): a form sent with method="get" otherwise looks
    // like nothing happened.
    std::function<void(std::string_view, std::string_view)> on_ignored() override {
        struct Said {
            std::mutex mutex;
            std::set<std::string> lines;
        };
        return [said = std::make_shared<Said>(), err = err_](std::string_view method, std::string_view target) {
            const std::string line = "postori-capture: ignored a " + printable(method) + " request for " +
                                     (target.empty() ? std::string("(no target)") : printable(target)) +
                                     "; only a POST is captured\n";
            const std::lock_guard lock(said->mutex);
            if (said->lines.insert(line).second) {
                std::fputs(line.c_str(), err);
                std::fflush(err);
            }
        };
    }

    void wait_begun(const CaptureJob& job) override {
        job_ = &job;
        if (options_.timeout) {
            deadline_ = std::chrono::steady_clock::now() + *options_.timeout;
        }
    }

    bool cancel_requested() override {
        if (interrupted_by != 0) {
            return true;
        }
        if (deadline_ && std::chrono::steady_clock::now() >= *deadline_) {
            timed_out_ = true;
        }
        return timed_out_;
    }

    // Says where it waits once the listener is up.
    void dispatch_pending() override {
        if (!announced_ && job_ != nullptr && job_->listening_port() != 0) {
            std::fprintf(err_, "postori-capture: waiting for a form on %s (Ctrl+C cancels)\n",
                         listening_place(options_.settings.bind_address, job_->listening_port()).c_str());
            std::fflush(err_);
            announced_ = true;
        }
    }

    void wait_ended() override { job_ = nullptr; }

    void report(const RunReport& report) override {
        switch (report.outcome) {
            case RunOutcome::Completed:
                exit_ = CaptureExit::Captured;
                return;  // the capture itself follows
            case RunOutcome::Cancelled:
                if (interrupted_by == 0 && timed_out_) {
                    exit_ = CaptureExit::TimedOut;
                    fail("no form came within " + seconds(*options_.timeout));
                } else {
                    exit_ = CaptureExit::Cancelled;
                    fail(std::string("cancelled by ") + (interrupted_by == SIGTERM ? "SIGTERM" : "SIGINT"));
                }
                return;
            case RunOutcome::Failed:
                break;
        }
        const std::string cause = report.error != 0 ? std::string(": ") + std::strerror(report.error) : "";
        switch (report.failure) {
            case RunFailure::CannotListen:
                exit_ = CaptureExit::CannotListen;
                fail("cannot listen on " + listening_place(options_.settings.bind_address, options_.settings.port) +
                     cause);
                break;
            case RunFailure::NoThread:
                exit_ = CaptureExit::Failed;
                fail("cannot start the listener thread" + cause);
                break;
            case RunFailure::NoPost:
            case RunFailure::None:
                exit_ = CaptureExit::Failed;
                fail("the listener ended without a form" + cause);
                break;
        }
    }

    void show_capture(const CaptureResult& result, std::optional<CodeChoice> code, CodeSource source) override {
        const CodeChoice used = code.value_or(result.code_choice);
        if (options_.json) {
            std::fputs(capture_json(result, used, source).c_str(), out_);
        } else {
            const char* chosen_by = source == CodeSource::Vote           ? " (voted)"
                                    : source == CodeSource::CharsetField ? " (from _charset_)"
                                                                         : "";
            std::fprintf(out_, "captured %zu fields%s; code: %s%s\n", result.fields.size(),
                         result.complete ? "" : " (body cut)", code_choice_name(used), chosen_by);
            for (const FormField& field : result.fields) {
                std::fprintf(out_, "%s\t%s\n", printable(field.name).c_str(),
                             shown_as_utf8(field_value_as_sjis(field, used)).c_str());
            }
        }
        // A capture that did not reach its reader is no success.
        if (std::fflush(out_) != 0 || std::ferror(out_) != 0) {
            exit_ = CaptureExit::Failed;
            fail(std::string("cannot write the capture: ") + std::strerror(errno));
        }
    }

private:
    void fail(const std::string& message) {
        std::fprintf(err_, "postori-capture: %s\n", message.c_str());
        std::fflush(err_);
    }

    static std::string seconds(std::chrono::milliseconds time) {
        char text[32];
        std::snprintf(text, sizeof text, "%g s", static_cast<double>(time.count()) / 1000);
        return text;
    }

    const CaptureOptions& options_;
    std::FILE* out_;
    std::FILE* err_;
    const CaptureJob* job_ = nullptr;
    bool announced_ = false;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    bool timed_out_ = false;
    CaptureExit exit_ = CaptureExit::Failed;
    struct sigaction previous_int_ {};
    struct sigaction previous_term_ {};
};

}  // namespace

CaptureExit run_console_capture(const CaptureOptions& options, std::FILE* out, std::FILE* err) {
    ConsoleHost host(options, out, err);
    run_capture(host);
    return host.exit_status();
}

int capture_tool_main(std::span<const std::string_view> args, std::FILE* out, std::FILE* err) {
    const CommandLine command = parse_command_line(args);
    switch (command.action) {
        case CommandAction::Help:
            std::fputs(usage_text().c_str(), out);
            return 0;
        case CommandAction::Version:
            std::fputs(version_text().c_str(), out);
            return 0;
        case CommandAction::Usage:
            std::fprintf(err, "postori-capture: %s (see --help)\n", command.error.c_str());
            return static_cast<int>(CaptureExit::Usage);
        case CommandAction::Capture:
            break;
    }
    return static_cast<int>(run_console_capture(command.options, out, err));
}

}  // namespace postori
