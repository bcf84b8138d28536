// SPDX-License-Identifier: GPL-3.0-or-later
// postori-capture as a script runs it: the real program, listening on
// 127.0.0.1 with --json, while headless Chromium submits a page's form in
// EUC-JP, Shift_JIS and UTF-8. Its standard output must be one JSON object
// that names the page's charset as the voted code and holds every field as
// the browser sent it and as the window shows it. And a signal to the
// waiting program cancels it with its exit status.
#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/core/capture_options.h"
#include "tests/browser/browser_harness.h"
#include "tests/support/child_process.h"
#include "tests/support/form_request.h"
#include "tests/support/iconv.h"
#include "tests/support/json.h"

namespace postori {
namespace {

using namespace std::chrono_literals;
using namespace browser;
using test_support::ChildProcess;
using test_support::iconv_convert;
using test_support::JsonValue;
namespace fs = std::filesystem;

// Long enough for any machine to start the program and see it listen.
constexpr auto PATIENCE = 10s;
constexpr std::string_view WAITING = "postori-capture: waiting for a form on 127.0.0.1 port ";

// The port in the waiting line, or 0.
std::int32_t waiting_port(const ChildProcess& tool) {
    const std::optional<std::string> line = tool.err_line(WAITING, PATIENCE);
    return line ? std::atoi(line->c_str() + WAITING.size()) : 0;
}

// The string member `key` of `value`, or "(missing)".
std::string text_of(const JsonValue& value, std::string_view key) {
    const JsonValue* member = value.member(key);
    return member != nullptr && member->kind == JsonValue::Kind::String ? member->string : "(missing)";
}

class CaptureToolPost : public testing::TestWithParam<PageCase> {};

TEST_P(CaptureToolPost, PrintsEveryFieldAsJson) {
    const PageCase& page_case = GetParam();
    const std::optional<fs::path> chromium = find_program("chromium");
    if (!chromium) {
        GTEST_SKIP() << "chromium is not installed; `scripts/install-deps.sh test` installs it";
    }
    TempDir work;
    ASSERT_FALSE(work.path().empty()) << "no temporary directory: " << std::strerror(errno);
    fs::create_directories(work.path() / "tool");
    // The browser is stopped only after the tool has ended and been reaped:
    // stopping it reaps every child of this process.
    ChildProcess tool(POSTORI_CAPTURE_PROGRAM, {"--json", "--bind", "127.0.0.1", "--port", "0", "--timeout", "120"},
                      work.path() / "tool");
    ASSERT_TRUE(tool.started());
    const std::int32_t port = waiting_port(tool);
    ASSERT_NE(port, 0) << tool.err();

    const std::optional<std::string> page = iconv_convert(page_text(page_case, port), page_case.iconv_code, "UTF-8");
    ASSERT_TRUE(page) << "iconv cannot write the page in " << page_case.iconv_code;
    PageServer server(*page, page_case.charset);
    ASSERT_NE(server.port(), 0) << "page server: " << std::strerror(errno);
    std::optional<int> status;
    std::string browser_log;
    {
        Browser browser(*chromium, work.path(), "http://127.0.0.1:" + std::to_string(server.port()) + "/form.html");
        ASSERT_TRUE(browser.started()) << "cannot start " << *chromium;
        const auto deadline = std::chrono::steady_clock::now() + BROWSER_LIMIT;
        while (!status && !browser.exited() && std::chrono::steady_clock::now() < deadline) {
            status = tool.wait(100ms);
        }
        if (!status) {
            tool.signal(SIGKILL);
            status = tool.wait(PATIENCE);
            browser_log = browser.log_tail();
        }
    }
    ASSERT_EQ(status, static_cast<int>(CaptureExit::Captured)) << tool.err() << "browser output:\n" << browser_log;

    const std::string printed = tool.out();
    const std::optional<JsonValue> capture = test_support::parse_json(printed);
    ASSERT_TRUE(capture) << "not the JSON expected:\n" << printed;
    EXPECT_EQ(text_of(*capture, "code"), code_option_name(page_case.code));
    const JsonValue* voted = capture->member("voted");
    EXPECT_TRUE(voted != nullptr && voted->kind == JsonValue::Kind::Bool && voted->boolean);
    const JsonValue* fields = capture->member("fields");
    ASSERT_TRUE(fields != nullptr && fields->kind == JsonValue::Kind::Array) << printed;
    ASSERT_EQ(fields->items.size(), std::size(FORM)) << printed;
    for (std::size_t k = 0; k < std::size(FORM); ++k) {
        const FormInput& input = FORM[k];
        SCOPED_TRACE("field " + std::to_string(k) + " (" + std::string(input.name) + ")");
        const JsonValue& field = fields->items[k];
        const std::optional<std::string> name = iconv_convert(input.name, page_case.iconv_code, "UTF-8");
        ASSERT_TRUE(name);
        EXPECT_EQ(text_of(field, "name"), test_support::form_urlencode(*name));
        EXPECT_EQ(text_of(field, "decoded_name"), input.name);
        EXPECT_EQ(text_of(field, "value"), replace_all(std::string(input.value), "\n", "\r\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(Charsets, CaptureToolPost, testing::ValuesIn(PAGE_CASES),
                         [](const testing::TestParamInfo<PageCase>& info) { return std::string(info.param.label); });

// SIGINT (Ctrl+C) and SIGTERM reach the waiting program and cancel it.
TEST(CaptureToolSignal, CancelsTheWait) {
    struct Case {
        int signal_number;
        const char* line;
    };
    const Case cases[] = {
        {SIGINT, "postori-capture: cancelled by SIGINT\n"},
        {SIGTERM, "postori-capture: cancelled by SIGTERM\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        TempDir work;
        ASSERT_FALSE(work.path().empty());
        ChildProcess tool(POSTORI_CAPTURE_PROGRAM, {"--bind", "127.0.0.1", "--port", "0"}, work.path());
        ASSERT_NE(waiting_port(tool), 0) << tool.err();
        tool.signal(c.signal_number);
        EXPECT_EQ(tool.wait(PATIENCE), static_cast<int>(CaptureExit::Cancelled));
        EXPECT_TRUE(tool.err().ends_with(c.line)) << tool.err();
        EXPECT_EQ(tool.out(), "");
    }
}

}  // namespace
}  // namespace postori
