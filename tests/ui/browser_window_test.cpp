// SPDX-License-Identifier: GPL-3.0-or-later
// A real browser posting to the real main window. For each page charset
// (EUC-JP, Shift_JIS, UTF-8) a page whose form posts itself on load is served
// from 127.0.0.1, and headless Chromium loads it while the main dialog, with
// automatic recognition on, waits for a form on the port in its hidden port
// edit. When the run ends the dialog must show one row per field: the name as
// the browser encoded it, the value as it was typed, each value box as high
// as its line breaks make it, and the code button of the page's charset
// checked.
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

class BrowserWindowTest : public ui_test::MainWindowTest, public testing::WithParamInterface<PageCase> {};

TEST_P(BrowserWindowTest, PostedFormShowsAsRowsInThePagesCode) {
    const PageCase& page_case = GetParam();
    const std::optional<fs::path> chromium = find_program("chromium");
    if (!chromium) {
        GTEST_SKIP() << "chromium is not installed; `scripts/install-deps.sh test` installs it";
    }

    // Each name as the browser sends it: percent-encoded in the page's
    // charset, and shown so, undecoded.
    std::vector<std::string> expected_names;
    for (const FormInput& input : FORM) {
        const std::optional<std::string> name = iconv_convert(input.name, page_case.iconv_code, "UTF-8");
        ASSERT_TRUE(name) << "iconv cannot convert field " << input.name;
        expected_names.push_back(form_urlencode(*name));
    }

    TempDir work;
    ASSERT_FALSE(work.path().empty()) << "no temporary directory";
    const int port = test_support::free_loopback_port();
    ASSERT_NE(port, 0);
    const std::optional<std::string> page = iconv_convert(page_text(page_case, port), page_case.iconv_code, "UTF-8");
    ASSERT_TRUE(page) << "iconv cannot write the page in " << page_case.iconv_code;
    PageServer server(*page, page_case.charset);
    ASSERT_NE(server.port(), 0) << "page server";
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/form.html";

    static_cast<QLineEdit*>(dialog->control(IDC_PORT))->setText(QString::number(port));
    button(IDC_AUTO_DETECT)->setChecked(true);
    // Another code is checked before: the vote has to move the check.
    const auto page_code = static_cast<std::size_t>(page_case.code);
    button(CODE_BUTTONS[(page_code + 1) % std::size(CODE_BUTTONS)])->click();

    // Inside the run's wait: the browser is started once the listener is up.
    // Should the browser end, or BROWSER_LIMIT pass, with no form captured,
    // the waiting dialog's cancel button ends the run.
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
            browser.emplace(*chromium, work.path(), url);
        }
        if (browser && !browser->started()) {
            gave_up = "cannot start " + chromium->string();
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
    std::string served;
    for (const std::string& line : server.requests()) {
        served += "  " + line + "\n";
    }
    ASSERT_EQ(dialog->last_report().outcome, RunOutcome::Completed)
        << gave_up << "\npage requests:\n"
        << served << "browser output:\n"
        << (browser ? browser->log_tail() : "(not started)\n");

    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "フォーム情報を取得しました");
    EXPECT_EQ(boxes.shown[0].title, "取得成功");
    EXPECT_TRUE(button(CODE_BUTTONS[page_code])->isChecked()) << "the vote";

    const ResultPane& pane = dialog->result_pane();
    std::string rows;
    for (std::size_t k = 0; k < pane.name_rows().size() && k < pane.value_rows().size(); ++k) {
        rows += "  " + pane.name_rows()[k]->text().toStdString() + " = " + pane.value_rows()[k]->text().toStdString() +
                "\n";
    }
    ASSERT_EQ(pane.name_rows().size(), std::size(FORM)) << "rows:\n" << rows;
    ASSERT_EQ(pane.value_rows().size(), std::size(FORM)) << "rows:\n" << rows;
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

}  // namespace
}  // namespace postori
