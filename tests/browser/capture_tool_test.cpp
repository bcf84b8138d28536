// SPDX-License-Identifier: GPL-3.0-or-later
// postori-capture as a script runs it: the real program, listening on
// 127.0.0.1 with --json, while a headless browser (Chromium and Firefox)
// submits forms of every kind (urlencoded, multipart with and without files,
// a file of 3 MB among fields, text/plain, a "_charset_" field) from pages in
// EUC-JP, Shift_JIS and UTF-8. Its standard output must be one JSON object
// that names the page's charset as the code, says what chose it, names the
// body's media type, and holds every field as the browser sent it and as the
// window shows it, files as their rows say them. And a signal to the
// waiting program cancels it with its exit status.
//
// One browser run posts every form: a page of frames, each frame a page
// that posts itself to a postori-capture of its own.
#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/core/capture_options.h"
#include "tests/browser/browser_harness.h"
#include "tests/support/child_process.h"
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

// The member `key` of `value` if it is of `kind`.
const JsonValue* member_of(const JsonValue& value, std::string_view key, JsonValue::Kind kind) {
    const JsonValue* member = value.member(key);
    return member != nullptr && member->kind == kind ? member : nullptr;
}

// A form posted to a postori-capture of its own.
struct Posting {
    const FormShape* shape;
    const PageCase* page_case;
    std::unique_ptr<ChildProcess> tool;
    std::optional<int> status;
};

// Checks the JSON `printed` for a capture of `shape` from a page in
// `page_case`'s charset.
void check_capture(const std::string& printed, const FormShape& shape, const PageCase& page_case) {
    const std::optional<JsonValue> capture = test_support::parse_json(printed);
    ASSERT_TRUE(capture) << "not the JSON expected:\n" << printed;
    EXPECT_EQ(text_of(*capture, "code"), code_option_name(page_case.code));
    EXPECT_EQ(text_of(*capture, "chosen_by"), &shape == &CHARSET_FIELD ? "_charset_" : "vote");
    const JsonValue* voted = member_of(*capture, "voted", JsonValue::Kind::Bool);
    EXPECT_TRUE(voted != nullptr && voted->boolean);
    EXPECT_EQ(text_of(*capture, "content_type"), shape.enctype);
    const JsonValue* complete = member_of(*capture, "complete", JsonValue::Kind::Bool);
    EXPECT_TRUE(complete != nullptr && complete->boolean) << printed.substr(0, 200);

    const std::vector<ExpectedField> expected = expected_fields(shape, page_case);
    ASSERT_FALSE(expected.empty()) << "iconv cannot write the names in " << page_case.iconv_code;
    const JsonValue* fields = member_of(*capture, "fields", JsonValue::Kind::Array);
    ASSERT_TRUE(fields != nullptr) << printed;
    ASSERT_EQ(fields->items.size(), expected.size()) << printed;
    for (std::size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE("field " + std::to_string(k) + " (" + expected[k].decoded_name + ")");
        const JsonValue& field = fields->items[k];
        EXPECT_EQ(text_of(field, "name"), expected[k].name);
        EXPECT_EQ(text_of(field, "decoded_name"), expected[k].decoded_name);
        EXPECT_EQ(text_of(field, "value"), expected[k].value);
        const JsonValue* file = member_of(field, "file", JsonValue::Kind::Object);
        ASSERT_EQ(file != nullptr, expected[k].file.has_value());
        if (file != nullptr) {
            EXPECT_EQ(text_of(*file, "filename"), expected[k].file->filename);
            EXPECT_EQ(text_of(*file, "content_type"), expected[k].file->content_type);
            const JsonValue* size = member_of(*file, "size", JsonValue::Kind::Number);
            ASSERT_NE(size, nullptr);
            EXPECT_EQ(size->number, expected[k].file->size);
        }
    }
}

class CaptureToolForms : public testing::TestWithParam<BrowserKind> {};

TEST_P(CaptureToolForms, PrintsEveryFormAsJson) {
    const BrowserKind kind = GetParam();
    const std::optional<fs::path> program = find_browser(kind);
    if (!program) {
        GTEST_SKIP() << browser_missing(kind);
    }
    TempDir work;
    ASSERT_FALSE(work.path().empty()) << "no temporary directory: " << std::strerror(errno);

    // Every form in every charset, each to a waiting postori-capture.
    std::vector<Posting> postings;
    std::vector<Page> pages;
    std::vector<std::string> paths;
    for (const FormShape* shape : FORM_SHAPES) {
        for (const PageCase& page_case : PAGE_CASES) {
            const fs::path tool_dir = work.path() / ("tool-" + std::to_string(postings.size()));
            fs::create_directories(tool_dir);
            auto tool = std::make_unique<ChildProcess>(
                POSTORI_CAPTURE_PROGRAM,
                std::vector<std::string>{"--json", "--bind", "127.0.0.1", "--port", "0", "--timeout", "120"}, tool_dir);
            ASSERT_TRUE(tool->started());
            const std::int32_t port = waiting_port(*tool);
            ASSERT_NE(port, 0) << tool->err();
            const std::optional<std::string> page =
                iconv_convert(page_text(*shape, page_case, port), page_case.iconv_code, "UTF-8");
            ASSERT_TRUE(page) << "iconv cannot write the page in " << page_case.iconv_code;
            paths.push_back("/form-" + std::to_string(postings.size()) + ".html");
            pages.push_back({paths.back(), *page, page_case.charset});
            postings.push_back({shape, &page_case, std::move(tool), std::nullopt});
        }
    }
    pages.push_back({"/forms.html", frames_page(paths), "UTF-8"});
    PageServer server(std::move(pages));
    ASSERT_NE(server.port(), 0) << "page server: " << std::strerror(errno);

    // The browser is stopped only after every tool has ended and been
    // reaped: stopping it reaps every child of this process.
    std::string browser_log;
    {
        Browser browser(kind, *program, work.path(),
                        "http://127.0.0.1:" + std::to_string(server.port()) + "/forms.html");
        ASSERT_TRUE(browser.started()) << "cannot start " << *program;
        const auto deadline = std::chrono::steady_clock::now() + BROWSER_LIMIT;
        for (bool waiting = true; waiting && !browser.exited() && std::chrono::steady_clock::now() < deadline;) {
            waiting = false;
            for (Posting& posting : postings) {
                posting.status = posting.tool->wait(0ms);
                waiting = waiting || !posting.status;
            }
            std::this_thread::sleep_for(50ms);
        }
        for (Posting& posting : postings) {
            if (!posting.tool->wait(0ms)) {
                posting.tool->signal(SIGKILL);
                browser_log = browser.log_tail();
            }
            posting.status = posting.tool->wait(PATIENCE);
        }
    }

    for (const Posting& posting : postings) {
        SCOPED_TRACE(std::string(posting.shape->label) + " in " + posting.page_case->label);
        if (posting.status != static_cast<int>(CaptureExit::Captured)) {
            ADD_FAILURE() << "exit status " << posting.status.value_or(-1) << "\n"
                          << posting.tool->err() << "browser output:\n"
                          << browser_log;
            continue;
        }
        check_capture(posting.tool->out(), *posting.shape, *posting.page_case);
    }
}

INSTANTIATE_TEST_SUITE_P(Browsers, CaptureToolForms, testing::ValuesIn(BROWSER_KINDS),
                         [](const testing::TestParamInfo<BrowserKind>& info) {
                             return std::string(browser_label(info.param));
                         });

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
