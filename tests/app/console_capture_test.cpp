#include "app/core/console_capture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

#include "tests/support/form_request.h"
#include "tests/support/loopback_client.h"

namespace postori {
namespace {

// The whole road from a client socket to the printed fields.
TEST(ConsoleCapture, PrintsTheCapturedFields) {
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    std::FILE* written = ::fdopen(pipe_fds[1], "w");
    std::FILE* read_back = ::fdopen(pipe_fds[0], "r");
    int result = -1;
    std::thread run([&] {
        result = run_console_capture(0, written);
        std::fclose(written);
    });

    char line[256];
    ASSERT_NE(std::fgets(line, sizeof line, read_back), nullptr);
    int port = 0;
    ASSERT_EQ(std::sscanf(line, "waiting for a form on port %d", &port), 1) << line;

    const std::string body = "%E5%90%8D%E5%89%8D=%E5%B1%B1%E7%94%B0+%E5%A4%AA%E9%83%8E&memo=a%26b";
    ASSERT_TRUE(test_support::send_to_loopback(port, test_support::post_request(body)));

    std::string printed;
    while (std::fgets(line, sizeof line, read_back) != nullptr) {
        printed += line;
    }
    run.join();
    std::fclose(read_back);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(printed,
              "captured 2 fields; code: UTF-8\n"
              "%E5%90%8D%E5%89%8D\t山田 太郎\n"
              "memo\ta&b\n");
}

}  // namespace
}  // namespace postori
