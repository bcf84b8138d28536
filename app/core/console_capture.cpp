#include "app/core/console_capture.h"

#include <csignal>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "app/core/captured_values.h"
#include "capture/listener.h"
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

}  // namespace

int run_console_capture(std::int32_t port, std::FILE* out) {
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    auto job = std::make_shared<CaptureJob>(CaptureRequest{port});
    std::unique_ptr<CaptureThread> thread;
    try {
        thread = std::make_unique<CaptureThread>(job);
    } catch (const std::system_error& error) {
        std::fprintf(out, "failed: no listener thread could be started (%s)\n", error.what());
        return 1;
    }

    // The run waits in slices of 5 ms, as the window's run does between its
    // events; a cancel then gives the thread 500 ms to end.
    bool announced = false;
    while (!thread->wait_for(std::chrono::milliseconds(5))) {
        if (!announced && job->listening_port() != 0) {
            std::fprintf(out, "waiting for a form on port %d (Ctrl+C cancels)\n", job->listening_port());
            std::fflush(out);
            announced = true;
        }
        if (interrupted != 0) {
            job->cancel();
            thread->wait_for(std::chrono::milliseconds(500));
            break;
        }
    }

    if (job->cancelled()) {
        std::fprintf(out, "cancelled\n");
        return 1;
    }
    const CaptureResult& captured = job->result();
    if (captured.head.method != RequestMethod::Post) {
        const int error = job->setup_error();
        std::fprintf(out, "failed: no form was captured%s%s\n", error != 0 ? ": " : "",
                     error != 0 ? std::strerror(error) : "");
        return 1;
    }
    std::fprintf(out, "captured %zu fields; code: %s\n", captured.fields.size(),
                 code_choice_name(captured.code_choice));
    for (const FormField& field : captured.fields) {
        const std::string value = sjis_to_utf8(value_as_sjis(field.value, captured.code_choice));
        std::fprintf(out, "%s\t%s\n", printable(field.name).c_str(), value.c_str());
    }
    return 0;
}

}  // namespace postori
