// postori-capture: one capture from the network to its result, without any
// window. Listens on port 9250 (or --port N), waits for a form to be posted,
// and prints the outcome, the voted code and every field: its name as
// received and its value decoded, converted to Shift_JIS by the vote as the
// window does, then shown as UTF-8. Ctrl+C cancels the wait.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "app/captured_values.h"
#include "capture/listener.h"
#include "codec/display.h"

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void on_interrupt(int) {
    interrupted = 1;
}

void usage() {
    std::fprintf(stderr, "usage: postori-capture [--port N]\n");
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

int main(int argc, char** argv) {
    std::int32_t port = postori::DEFAULT_PORT;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--port" && k + 1 < argc) {
            char* end = nullptr;
            const long value = std::strtol(argv[++k], &end, 10);
            if (*end != '\0' || value < 0 || value > 65535) {
                usage();
                return 2;
            }
            port = static_cast<std::int32_t>(value);
        } else {
            usage();
            return 2;
        }
    }

    struct sigaction action {};
    action.sa_handler = on_interrupt;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    auto job = std::make_shared<postori::CaptureJob>();
    job->port = port;
    std::unique_ptr<postori::CaptureThread> thread;
    try {
        thread = std::make_unique<postori::CaptureThread>(job);
    } catch (const std::system_error& error) {
        std::printf("failed: no listener thread could be started (%s)\n", error.what());
        return 1;
    }

    bool announced = false;
    while (!thread->wait_for(std::chrono::milliseconds(5))) {
        if (!announced && job->listening_port.load() != 0) {
            std::printf("waiting for a form on port %d (Ctrl+C cancels)\n", job->listening_port.load());
            std::fflush(stdout);
            announced = true;
        }
        if (interrupted != 0) {
            job->cancel();
            thread->wait_for(std::chrono::milliseconds(500));
            break;
        }
    }

    if (job->cancelled()) {
        std::printf("cancelled\n");
        return 1;
    }
    if (job->head.method != postori::RequestMethod::Post) {
        const int error = job->setup_error.load();
        std::printf("failed: no form was captured%s%s\n", error != 0 ? ": " : "",
                    error != 0 ? std::strerror(error) : "");
        return 1;
    }
    std::printf("captured %zu fields; code: %s\n", job->fields.size(), postori::code_choice_name(job->code_choice));
    for (const postori::FormField& field : job->fields) {
        const std::string value = postori::sjis_to_utf8(postori::value_as_sjis(field.value, job->code_choice));
        std::printf("%s\t%s\n", printable(field.name).c_str(), value.c_str());
    }
    return 0;
}
