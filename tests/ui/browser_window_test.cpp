// SPDX-License-Identifier: GPL-3.0-or-later
// A real browser posting to the real main window. For each page charset
// (EUC-JP, Shift_JIS, UTF-8) a page whose form posts itself on load is served
// from 127.0.0.1, and headless Chromium loads it while the main dialog, with
// automatic recognition on, waits for a form on the port in its hidden port
// edit. When the run ends the dialog must show one row per field: the name as
// the browser encoded it, the value as it was typed, each value box as high
// as its line breaks make it, and the code button of the page's charset
// checked. A few forms of the other kinds (files, text/plain, "_charset_")
// come from Chromium and Firefox: their files as their rows say them.
//
// These tests run in a program of their own: the browser's processes are
// reaped by waiting for every child of the test process.
#include <QAbstractButton>
#include <QLineEdit>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/core/result_layout.h"
#include "app/ui/main_dialog.h"
#include "app/ui/result_pane.h"
#include "app/ui/value_box.h"
#include "tests/browser/browser_harness.h"
#include "tests/support/form_request.h"
#include "tests/support/iconv.h"
#include "tests/support/loopback_client.h"
#include "tests/ui/ui_support.h"

namespace postori {
namespace {

using namespace browser;
using test_support::form_urlencode;
using test_support::iconv_convert;
namespace fs = std::filesystem;

// The code buttons by the index of the code they stand for.
constexpr int CODE_BUTTONS[] = {IDC_EUC, IDC_SHIFT_JIS, IDC_UTF8};

// True while a socket listens on `port` of an IPv4 address of this machine.
// Read from the kernel's table, so the listener sees no connection of ours.
bool listening_on(int port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the column titles
    while (std::getline(table, line)) {
        // "  sl: local_address:port remote_address:port state ...", in hex.
        unsigned local_port = 0;
        unsigned state = 0;
        if (std::sscanf(line.c_str(), " %*u: %*x:%x %*x:%*x %x", &local_port, &state) == 2 &&
            local_port == static_cast<unsigned>(port) && state == 0x0A /* TCP_LISTEN */) {
            return true;
        }
    }
    return false;
}

// The main dialog, with automatic recognition on, capturing what a browser
// posts.
class BrowserWindowFixture : public ui_test::MainWindowTest {
protected:
    // Serves `page` (in `charset`), whose form posts to `port`, checks
    // another code button than `page_code`'s (the vote has to move the
    // check), and runs one capture with 取得開始 while the browser loads it; the browser is
    // started once the listener is up. Should the browser end, or
    // BROWSER_LIMIT pass, with no form captured, the waiting dialog's cancel
    // button ends the run. Empty when the run completed, else what went
    // wrong.
    std::string capture_from(BrowserKind kind, const fs::path& program, const std::string& page, const char* charset,
                             CodeChoice page_code, int port) {
        TempDir work;
        if (work.path().empty()) {
            return "no temporary directory";
        }
        PageServer server(page, charset);
        if (server.port() == 0) {
            return "page server";
        }
        const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/form.html";
        static_cast<QLineEdit*>(dialog->control(IDC_PORT))->setText(QString::number(port));
        button(IDC_AUTO_DETECT)->setChecked(true);
        button(CODE_BUTTONS[(static_cast<std::size_t>(page_code) + 1) % std::size(CODE_BUTTONS)])->click();

        std::optional<Browser> browser;
        std::string gave_up;
        const auto deadline = std::chrono::steady_clock::now() + BROWSER_LIMIT;
        QTimer watch;
        watch.setInterval(20);
        const auto look = [&] {
            WaitingDialog* waiting = dialog->waiting_dialog();
            if (waiting == nullptr || !gave_up.empty()) {
                return;
            }
            if (!browser && listening_on(port)) {
                browser.emplace(kind, program, work.path(), url);
            }
            if (browser && !browser->started()) {
                gave_up = "cannot start " + program.string();
            } else if (browser && browser->exited()) {
                gave_up = "the browser ended with no form captured";
            } else if (std::chrono::steady_clock::now() > deadline) {
                gave_up = "no form captured within " + std::to_string(BROWSER_LIMIT.count()) + " s";
            }
            if (!gave_up.empty()) {
                static_cast<QAbstractButton*>(waiting->control(IDCANCEL))->click();
            }
        };
        QObject::connect(&watch, &QTimer::timeout, &watch, look);
        ui_test::when_idle([&] {
            look();
            watch.start();
        });
        button(IDOK)->click();
        watch.stop();
        if (browser) {
            browser->stop();
        }
        if (dialog->last_report().outcome == RunOutcome::Completed) {
            return "";
        }
        std::string served;
        for (const std::string& line : server.requests()) {
            served += "  " + line + "\n";
        }
        return gave_up + "\npage requests:\n" + served + "browser output:\n" +
               (browser ? browser->log_tail() : "(not started)\n");
    }

    // The rows as text, for failure messages.
    std::string rows() const {
        const ResultPane& pane = dialog->result_pane();
        std::string out;
        for (std::size_t k = 0; k < pane.name_rows().size() && k < pane.value_rows().size(); ++k) {
            out += "  " + pane.name_rows()[k]->text().toStdString() + " = " +
                   pane.value_rows()[k]->text().toStdString() + "\n";
        }
        return out;
    }
};

class BrowserWindowTest : public BrowserWindowFixture, public testing::WithParamInterface<PageCase> {};

TEST_P(BrowserWindowTest, PostedFormShowsAsRowsInThePagesCode) {
    const PageCase& page_case = GetParam();
    const std::optional<fs::path> chromium = find_browser(BrowserKind::Chromium);
    if (!chromium) {
        GTEST_SKIP() << browser_missing(BrowserKind::Chromium);
    }

    // Each name as the browser sends it: percent-encoded in the page's
    // charset, and shown so, undecoded.
    std::vector<std::string> expected_names;
    for (const FormInput& input : FORM) {
        const std::optional<std::string> name = iconv_convert(input.name, page_case.iconv_code, "UTF-8");
        ASSERT_TRUE(name) << "iconv cannot convert field " << input.name;
        expected_names.push_back(form_urlencode(*name));
    }

    const int port = test_support::free_loopback_port();
    ASSERT_NE(port, 0);
    const std::optional<std::string> page = iconv_convert(page_text(page_case, port), page_case.iconv_code, "UTF-8");
    ASSERT_TRUE(page) << "iconv cannot write the page in " << page_case.iconv_code;
    const auto page_code = static_cast<std::size_t>(page_case.code);
    const std::string failure =
        capture_from(BrowserKind::Chromium, *chromium, *page, page_case.charset, page_case.code, port);
    ASSERT_EQ(failure, "");

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "フォーム情報を取得しました");
    EXPECT_EQ(boxes.shown[0].title, "取得成功");
    EXPECT_TRUE(button(CODE_BUTTONS[page_code])->isChecked()) << "the vote";

    const ResultPane& pane = dialog->result_pane();
    ASSERT_EQ(pane.name_rows().size(), std::size(FORM)) << "rows:\n" << rows();
    ASSERT_EQ(pane.value_rows().size(), std::size(FORM)) << "rows:\n" << rows();
    // Each row as many lines high as its value has carriage returns (one
    // per typed line break), at least 1 and at most MAX_ROW_LINES, right
    // below the row before.
    int top = 0;
    for (std::size_t k = 0; k < std::size(FORM); ++k) {
        SCOPED_TRACE("row " + std::to_string(k) + " (" + std::string(FORM[k].name) + ")");
        const QLineEdit* name_box = pane.name_rows()[k];
        const ValueBox* value_box = pane.value_rows()[k];
        EXPECT_EQ(name_box->text().toStdString(), expected_names[k]);
        // Compared as UTF-8, which holds the box's text exactly and reads
        // well in a failure. The box keeps the line ends the browser sent:
        // CR LF for each line break typed in the text area.
        EXPECT_EQ(value_box->text().toStdString(), replace_all(std::string(FORM[k].value), "\n", "\r\n"));
        const auto breaks = static_cast<int>(std::count(FORM[k].value.begin(), FORM[k].value.end(), '\n'));
        const int lines = std::clamp(breaks, 1, MAX_ROW_LINES);
        EXPECT_EQ(name_box->mapTo(pane.client(), QPoint(0, 0)).y(), top);
        EXPECT_EQ(name_box->height(), LINE_HEIGHT - 2);
        EXPECT_EQ(value_box->height(), lines * LINE_HEIGHT - 2);
        top += lines * LINE_HEIGHT;
    }
    // The textarea's two lines hold one carriage return: a one-line box.
    EXPECT_EQ(pane.value_rows()[3]->height(), LINE_HEIGHT - 2);
}

INSTANTIATE_TEST_SUITE_P(Charsets, BrowserWindowTest, testing::ValuesIn(PAGE_CASES),
                         [](const testing::TestParamInfo<PageCase>& info) { return std::string(info.param.label); });

// The other kinds of form, through the window: files among fields, text/plain
// and "_charset_", a few in each browser and charset. Every kind in every
// charset and browser goes through postori-capture (capture_tool_test).
struct WindowCase {
    BrowserKind browser;
    const FormShape* shape;
    const PageCase* page_case;
};

std::string window_case_name(const testing::TestParamInfo<WindowCase>& info) {
    return std::string(browser_label(info.param.browser)) + "_" + info.param.shape->label + "_" +
           info.param.page_case->label;
}

const WindowCase WINDOW_CASES[] = {
    {BrowserKind::Firefox, &MULTIPART_JAPANESE_FILENAME, &PAGE_CASES[1]},
    {BrowserKind::Chromium, &MULTIPART_BIG_FILE, &PAGE_CASES[0]},
    {BrowserKind::Firefox, &TEXT_PLAIN, &PAGE_CASES[2]},
    {BrowserKind::Chromium, &CHARSET_FIELD, &PAGE_CASES[1]},
};

class BrowserWindowForms : public BrowserWindowFixture, public testing::WithParamInterface<WindowCase> {};

TEST_P(BrowserWindowForms, ShowFilesAndFieldsAsRows) {
    const WindowCase& c = GetParam();
    const std::optional<fs::path> program = find_browser(c.browser);
    if (!program) {
        GTEST_SKIP() << browser_missing(c.browser);
    }
    const std::vector<ExpectedField> expected = expected_fields(*c.shape, *c.page_case);
    ASSERT_FALSE(expected.empty()) << "iconv cannot write the names in " << c.page_case->iconv_code;
    const int port = test_support::free_loopback_port();
    ASSERT_NE(port, 0);
    const std::optional<std::string> page =
        iconv_convert(page_text(*c.shape, *c.page_case, port), c.page_case->iconv_code, "UTF-8");
    ASSERT_TRUE(page) << "iconv cannot write the page in " << c.page_case->iconv_code;
    const auto page_code = static_cast<std::size_t>(c.page_case->code);
    const std::string failure = capture_from(c.browser, *program, *page, c.page_case->charset, c.page_case->code, port);
    ASSERT_EQ(failure, "");

    // The whole body came: the message has no line about a cut.
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "フォーム情報を取得しました");
    EXPECT_TRUE(button(CODE_BUTTONS[page_code])->isChecked()) << "the code";
    const ResultPane& pane = dialog->result_pane();
    ASSERT_EQ(pane.name_rows().size(), expected.size()) << "rows:\n" << rows();
    ASSERT_EQ(pane.value_rows().size(), expected.size()) << "rows:\n" << rows();
    for (std::size_t k = 0; k < expected.size(); ++k) {
        SCOPED_TRACE("row " + std::to_string(k) + " (" + expected[k].decoded_name + ")");
        EXPECT_EQ(pane.name_rows()[k]->text().toStdString(), expected[k].name);
        EXPECT_EQ(pane.value_rows()[k]->text().toStdString(), expected[k].value);
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, BrowserWindowForms, testing::ValuesIn(WINDOW_CASES), window_case_name);

}  // namespace
}  // namespace postori
