// SPDX-License-Identifier: GPL-3.0-or-later
// A real browser as the capture's client. For each page charset (EUC-JP,
// Shift_JIS, UTF-8) a small page is served from 127.0.0.1 whose bytes are in
// that charset and whose form posts itself on load to a running capture;
// headless Chromium loads it. The capture must yield every field as the
// browser encoded it, each value must come out as the typed text once
// percent-decoded and converted to Shift_JIS by the voted code, and the vote
// must name the page's charset.
//
// Chromium opens spare connections to the form's host and repeats a POST
// that gets no answer; the capture has to cope with both. Nothing may leave
// the machine: host names resolve to nothing, and no proxy is used.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/core/captured_values.h"
#include "capture/form_body.h"
#include "capture/listener.h"
#include "capture/request_head.h"
#include "codec/convert.h"
#include "tests/browser/browser_harness.h"
#include "tests/support/form_request.h"
#include "tests/support/iconv.h"
#include "tests/support/running_capture.h"

namespace postori {
namespace {

using namespace std::chrono_literals;
using namespace browser;
using test_support::form_urlencode;
using test_support::iconv_convert;
namespace fs = std::filesystem;

class BrowserPost : public testing::TestWithParam<PageCase> {};

TEST_P(BrowserPost, FormArrivesWithEveryFieldAndTheRightCode) {
    const PageCase& page_case = GetParam();
    const std::optional<fs::path> chromium = find_program("chromium");
    if (!chromium) {
        GTEST_SKIP() << "chromium is not installed; `scripts/install-deps.sh test` installs it";
    }

    // What the browser has to send: each name percent-encoded in the page's
    // charset, each value typed with its line breaks as CR LF.
    struct Expected {
        std::string raw_name;
        std::string sjis_value;
    };
    std::vector<Expected> expected;
    for (const FormInput& input : FORM) {
        const std::optional<std::string> name = iconv_convert(input.name, page_case.iconv_code, "UTF-8");
        const std::optional<std::string> value =
            iconv_convert(replace_all(std::string(input.value), "\n", "\r\n"), "CP932", "UTF-8");
        ASSERT_TRUE(name && value) << "iconv cannot convert field " << input.name;
        expected.push_back({form_urlencode(*name), *value});
    }

    TempDir work;
    ASSERT_FALSE(work.path().empty()) << "no temporary directory: " << std::strerror(errno);
    test_support::RunningCapture capture;
    const std::int32_t capture_port = capture.port();
    ASSERT_NE(capture_port, 0) << std::strerror(capture.job->setup_error());

    const std::optional<std::string> page =
        iconv_convert(page_text(page_case, capture_port), page_case.iconv_code, "UTF-8");
    ASSERT_TRUE(page) << "iconv cannot write the page in " << page_case.iconv_code;
    PageServer server(*page, page_case.charset);
    ASSERT_NE(server.port(), 0) << "page server: " << std::strerror(errno);

    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/form.html";
    Browser browser(BrowserKind::Chromium, *chromium, work.path(), url);
    ASSERT_TRUE(browser.started()) << "cannot start " << *chromium;

    const auto deadline = std::chrono::steady_clock::now() + BROWSER_LIMIT;
    bool ended = false;
    while (!ended && !browser.exited() && std::chrono::steady_clock::now() < deadline) {
        ended = capture.ended(100ms);
    }
    ended = ended || capture.ended(100ms);
    browser.stop();
    std::string served;
    for (const std::string& line : server.requests()) {
        served += "  " + line + "\n";
    }
    ASSERT_TRUE(ended) << "no form arrived within " << BROWSER_LIMIT.count() << " s\npage requests:\n"
                       << served << "browser output:\n"
                       << browser.log_tail();

    const CaptureResult& result = capture.job->result();
    ASSERT_EQ(result.head.method, RequestMethod::Post);
    EXPECT_STREQ(code_choice_name(result.code_choice), code_choice_name(page_case.code)) << "the vote";
    std::string listed;
    for (const FormField& field : result.fields) {
        listed += "  " + field.name + " = " + field.value + "\n";
    }
    ASSERT_EQ(result.fields.size(), expected.size()) << "captured fields:\n" << listed;
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const FormField& field = result.fields[k];
        SCOPED_TRACE("field " + std::to_string(k) + " (" + std::string(FORM[k].name) + ")");
        EXPECT_EQ(field.name, expected[k].raw_name);
        const std::string value = value_as_sjis(field.value, result.code_choice);
        EXPECT_EQ(value, expected[k].sjis_value)
            << "raw " << field.value << "\n got " << shown(value) << "\nwant " << shown(expected[k].sjis_value);
    }

    // The cases that are easy to get subtly wrong, spelled out.
    EXPECT_NE(result.fields[3].value.find("%0D%0A"), std::string::npos) << "the line break of the textarea";
    EXPECT_EQ(decode_value(result.fields[2].name), iconv_convert(FORM[2].name, page_case.iconv_code, "UTF-8"))
        << "the Japanese field name in the page's charset";
    EXPECT_EQ(result.fields[4].value.substr(0, 13), "1%2B1%3D2+%26") << "'+', '=' and '&' in a value";
    EXPECT_EQ(result.fields[6].value, "") << "the empty field";
}

INSTANTIATE_TEST_SUITE_P(Charsets, BrowserPost, testing::ValuesIn(PAGE_CASES),
                         [](const testing::TestParamInfo<PageCase>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace postori
