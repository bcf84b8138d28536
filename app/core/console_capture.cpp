#include "app/core/console_capture.h"

#include <csignal>
#include <cstring>
#include <string>
#include <string_view>

#include "app/core/capture_run.h"
#include "app/core/captured_values.h"
#include "codec/display.h"

namespace postori {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void on_interrupt(int) {
    interrupted = 1;
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

// The terminal as the run's host: the wait is a line with the port, SIGINT
// and SIGTERM cancel it, the outcome and the fields are printed.
class ConsoleHost final : public CaptureRunHost {
public:
    ConsoleHost(std::int32_t port, std::FILE* out) : port_(port), out_(out) {
        interrupted = 0;
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

    // The vote decides the code, as with automatic recognition.
    MainSettings read_settings() override { return {port_, std::nullopt, true}; }

    void wait_begun(const CaptureJob& job) override { job_ = &job; }

    bool cancel_requested() override { return interrupted != 0; }

    // Says where it waits once the listener is up.
    void dispatch_pending() override {
        if (!announced_ && job_ != nullptr && job_->listening_port() != 0) {
            std::fprintf(out_, "waiting for a form on port %d (Ctrl+C cancels)\n", job_->listening_port());
            std::fflush(out_);
            announced_ = true;
        }
    }

    void wait_ended() override { job_ = nullptr; }

    void report(const RunReport& report) override {
        switch (report.outcome) {
            case RunOutcome::Completed:
                break;  // the capture itself follows
            case RunOutcome::Cancelled:
                std::fprintf(out_, "cancelled\n");
                break;
            case RunOutcome::Failed:
                std::fprintf(out_, "failed: %s%s%s\n",
                             report.failure == RunFailure::NoThread ? "no listener thread could be started"
                                                                    : "no form was captured",
                             report.error != 0 ? ": " : "", report.error != 0 ? std::strerror(report.error) : "");
                break;
        }
    }

    void show_capture(const CaptureResult& result, std::optional<CodeChoice> code) override {
        const CodeChoice used = code.value_or(result.code_choice);
        std::fprintf(out_, "captured %zu fields; code: %s\n", result.fields.size(), code_choice_name(used));
        for (const FormField& field : result.fields) {
            const std::string value = sjis_to_utf8(value_as_sjis(field.value, used));
            std::fprintf(out_, "%s\t%s\n", printable(field.name).c_str(), value.c_str());
        }
    }

private:
    std::int32_t port_;
    std::FILE* out_;
    const CaptureJob* job_ = nullptr;
    bool announced_ = false;
    struct sigaction previous_int_ {};
    struct sigaction previous_term_ {};
};

}  // namespace

int run_console_capture(std::int32_t port, std::FILE* out) {
    ConsoleHost host(port, out);
    return run_capture(host).outcome == RunOutcome::Completed ? 0 : 1;
}

}  // namespace postori
