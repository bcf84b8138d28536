// postori-capture: a developer's tool beside the program. One capture from
// the network to the terminal on port 9250, or on the port given with
// --port N.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/core/console_capture.h"
#include "capture/capture_job.h"

int main(int argc, char** argv) {
    std::int32_t port = postori::DEFAULT_PORT;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        char* end = nullptr;
        const long value = arg == "--port" && k + 1 < argc ? std::strtol(argv[++k], &end, 10) : -1;
        if (end == nullptr || *end != '\0' || value < 0 || value > 65535) {
            std::fprintf(stderr, "usage: postori-capture [--port N]\n");
            return 2;
        }
        port = static_cast<std::int32_t>(value);
    }
    return postori::run_console_capture(port, stdout);
}
