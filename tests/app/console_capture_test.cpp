// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/console_capture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/form_request.h"
#include "tests/support/loopback_client.h"
#include "tests/support/running_capture.h"

namespace postori {
namespace {

// What one run of the tool printed, and its exit status.
struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the tool in this process with `args`. Once it says it waits, `client`
// (when given) gets the port it listens on. Its standard output is
// `given_out` when given, else kept in memory.
ToolRun run_tool(const std::vector<std::string>& args, const std::function<void(int port)>& client = {},
                 std::FILE* given_out = nullptr) {
    std::vector<std::string_view> views(args.begin(), args.end());
    char* printed = nullptr;
    std::size_t printed_size = 0;
    std::FILE* out = given_out != nullptr ? given_out : ::open_memstream(&printed, &printed_size);
    int pipe_fds[2];
    if (out == nullptr || ::pipe(pipe_fds) != 0) {
        ADD_FAILURE() << "no output stream or pipe";
        return {};
    }
    std::FILE* err_write = ::fdopen(pipe_fds[1], "w");
    std::FILE* err_read = ::fdopen(pipe_fds[0], "r");
    ToolRun run;
    std::thread tool([&] {
        run.status = capture_tool_main(views, out, err_write);
        std::fclose(err_write);
    });
    char line[512];
    while (std::fgets(line, sizeof line, err_read) != nullptr) {
        run.err += line;
        int port = 0;
        if (client && std::sscanf(line, "postori-capture: waiting for a form on 127.0.0.1 port %d", &port) == 1) {
            client(port);
        }
    }
    tool.join();
    std::fclose(err_read);
    std::fclose(out);
    run.out = printed != nullptr ? std::string(printed, printed_size) : "";
    std::free(printed);
    return run;
}

std::function<void(int)> posting(std::string body) {
    return [body](int port) { EXPECT_TRUE(test_support::send_to_loopback(port, test_support::post_request(body))); };
}

// The waiting line with the port the OS picked written as P.
std::string with_port_as_p(std::string err) {
    return std::regex_replace(err, std::regex("(waiting for a form on 127\\.0\\.0\\.1 port )[0-9]+"), "$1P");
}

// Every way a run of the tool ends, with its exit status and what it prints
// where: the capture on standard output; the waiting line and one line for
// every other outcome on standard error.
TEST(ConsoleCapture, EachWayOfEndingHasItsStatusAndItsLines) {
    test_support::RunningCapture busy;  // a port in use
    ASSERT_NE(busy.port(), 0);
    const std::string busy_port = std::to_string(busy.port());
    const std::string waiting = "postori-capture: waiting for a form on 127.0.0.1 port P (Ctrl+C cancels)\n";
    struct Case {
        const char* label;
        std::vector<std::string> args;
        std::function<void(int)> client;
        std::FILE* out_file;  // standard output when not a scratch file
        CaptureExit status;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {"captured_as_text",
         {"--bind", "127.0.0.1", "--port", "0"},
         posting("%E5%90%8D%E5%89%8D=%E5%B1%B1%E7%94%B0+%E5%A4%AA%E9%83%8E&memo=a%26b"),
         nullptr,
         CaptureExit::Captured,
         "captured 2 fields; code: UTF-8 (voted)\n%E5%90%8D%E5%89%8D\t山田 太郎\nmemo\ta&b\n",
         waiting},
        {"captured_as_json_in_the_code_asked_for",
         {"--json", "--code", "sjis", "--bind", "127.0.0.1", "--port", "0"},
         posting("k=%82%A0"),
         nullptr,
         CaptureExit::Captured,
         "{\"code\":\"sjis\",\"voted\":false,\"chosen_by\":\"option\",\"content_type\":"
         "\"application/x-www-form-urlencoded\",\"complete\":true,\"fields\":[{\"name\":\"k\",\"decoded_name\":\"k\","
         "\"value\":\"あ\"}]}\n",
         waiting},
        {"a_get_is_said_and_ignored",
         {"--bind", "127.0.0.1", "--port", "0"},
         [](int port) {
             test_support::LoopbackClient get(port);
             EXPECT_TRUE(get.send("GET /contact.html?x=1 HTTP/1.1\r\nHost: h\r\n\r\n"));
             EXPECT_TRUE(get.closed_without_answer(std::chrono::seconds(10)));
             EXPECT_TRUE(test_support::send_to_loopback(port, test_support::post_request("a=1")));
         },
         nullptr,
         CaptureExit::Captured,
         "captured 1 fields; code: EUC (voted)\na\t1\n",
         waiting + "postori-capture: ignored a GET request for /contact.html?x=1; only a POST is captured\n"},
        {"timed_out",
         {"--bind", "127.0.0.1", "--port", "0", "--timeout", "0.05"},
         {},
         nullptr,
         CaptureExit::TimedOut,
         "",
         waiting + "postori-capture: no form came within 0.05 s\n"},
        {"cannot_listen",
         {"--bind", "127.0.0.1", "--port", busy_port},
         {},
         nullptr,
         CaptureExit::CannotListen,
         "",
         "postori-capture: cannot listen on 127.0.0.1 port " + busy_port + ": Address already in use\n"},
        {"wrong_command_line",
         {"--code", "latin1"},
         {},
         nullptr,
         CaptureExit::Usage,
         "",
         "postori-capture: --code takes auto, euc, sjis or utf8, not 'latin1' (see --help)\n"},
        {"captured_but_not_written",
         {"--json", "--bind", "127.0.0.1", "--port", "0"},
         posting("k=v"),
         std::fopen("/dev/full", "w"),
         CaptureExit::Failed,
         "",
         waiting + "postori-capture: cannot write the capture: No space left on device\n"},
        {"version", {"--version"}, {}, nullptr, CaptureExit::Captured, version_text(), ""},
        {"help", {"--json", "--help"}, {}, nullptr, CaptureExit::Captured, usage_text(), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const ToolRun run = run_tool(c.args, c.client, c.out_file);
        EXPECT_EQ(run.status, static_cast<int>(c.status));
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(with_port_as_p(run.err), c.err);
    }
}

}  // namespace
}  // namespace postori
