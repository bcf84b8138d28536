#include "app/core/captured_values.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>

#include "app/core/console_capture.h"
#include "loopback_client.h"

namespace postori {
namespace {

TEST(ValueAsSjis, DecodesThenConvertsByTheChoice) {
    struct Case {
        const char* raw;
        CodeChoice choice;
        std::string sjis;
    };
    const Case cases[] = {
        {"%A4%A2", CodeChoice::EucJp, "\x82\xA0"},
        {"%E3%81%82", CodeChoice::Utf8, "\x82\xA0"},
        {"%82%A0", CodeChoice::ShiftJis, "\x82\xA0"},
        {"a+b%00c", CodeChoice::ShiftJis, "a b"},
        {"%8E%B1+x", CodeChoice::EucJp, "\xB1 x"},
        {"%E3%81", CodeChoice::Utf8, "??"},
        {"line1%0D%0Aline2", CodeChoice::Utf8, "line1\r\nline2"},
        {"", CodeChoice::EucJp, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(value_as_sjis(c.raw, c.choice), c.sjis) << c.raw;
    }
}

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
    ASSERT_TRUE(test_client::send_to_loopback(port, test_client::post_request(body)));

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
