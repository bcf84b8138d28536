// SPDX-License-Identifier: GPL-3.0-or-later
// What the tests with a real browser share: the form and the pages that post
// it in each charset, a server for those pages on 127.0.0.1, and headless
// Chromium run in a directory of its own and stopped with everything it
// started.
//
// Nothing may leave the machine: host names resolve to nothing, and no proxy
// is used.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "capture/vote.h"

namespace postori::browser {

// How long the browser may take from start to the captured form.
inline constexpr std::chrono::seconds BROWSER_LIMIT{60};

// --- text helpers ---

std::string html_escape(std::string_view text);

std::string replace_all(std::string text, std::string_view from, std::string_view to);

// Shift_JIS bytes shown as readable text in a failure message.
std::string shown(const std::string& sjis);

// --- the form ---

struct FormInput {
    std::string_view name;   // UTF-8
    std::string_view value;  // UTF-8, as typed; a line break is "\n"
    bool textarea = false;
};

// Every kind of value the capture has to carry through: kanji with kana, a
// long address, a field whose name is Japanese, two lines, the bytes that
// urlencoding escapes, half-width katakana and an empty field.
inline constexpr FormInput FORM[] = {
    {"shimei", "山田 はなこ"},
    {"address", "東京都千代田区丸の内１丁目２番３号　中央ビル４階"},
    {"お名前", "ヤマダ ハナコ"},
    {"message", "一行目です。\n二行目は「かぎかっこ」付き。", true},
    {"formula", "1+1=2 & 100%増し"},
    {"kana", "ﾔﾏﾀﾞ ﾊﾅｺ"},
    {"empty", ""},
};

struct PageCase {
    const char* label;
    const char* charset;  // as the page and its Content-Type name it
    const char* iconv_code;
    CodeChoice code;
};

std::ostream& operator<<(std::ostream& out, const PageCase& page_case);

inline constexpr PageCase PAGE_CASES[] = {
    {"EucJp", "EUC-JP", "EUC-JP-MS", CodeChoice::EucJp},
    {"ShiftJis", "Shift_JIS", "CP932", CodeChoice::ShiftJis},
    {"Utf8", "UTF-8", "UTF-8", CodeChoice::Utf8},
};

// The page in UTF-8; it is converted to the page's charset as a whole. Its
// form posts itself on load to `capture_port` on 127.0.0.1.
std::string page_text(const PageCase& page_case, std::int32_t capture_port);

// --- the page server ---

// Serves one page on 127.0.0.1 (a port the OS picks) to any number of
// connections side by side: GET /form.html gets the page, every other request
// a 404, and each connection is closed after its answer.
class PageServer {
public:
    PageServer(std::string page, std::string charset);
    ~PageServer();
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    // 0 when the server could not be set up.
    std::int32_t port() const { return port_; }

    // The request lines received so far.
    std::vector<std::string> requests() const;

private:
    struct Connection {
        int fd;
        std::string received;
    };

    void run();
    // Reads what has arrived; once the head is in, answers. False when the
    // connection is done.
    bool serve(Connection& connection);

    std::string page_;
    std::string charset_;
    int listen_fd_;
    int wake_fd_;
    std::int32_t port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};

// --- the browser process ---

std::optional<std::filesystem::path> find_program(std::string_view name);

// A fresh directory, removed with all it holds.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Empty when no directory could be made.
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Headless Chromium loading one URL, in its own process group, with its
// profile, home and temporary files inside `work` and its output in
// work/browser.log. Stopping it kills and reaps every process it started: the
// test process makes itself the reaper of its orphaned descendants, so none
// is left behind, not even one that left the group. Stopping it reaps every
// child of the test process: a test that runs a process of its own beside
// the browser waits for it (or kills it) before the browser is stopped.
class Browser {
public:
    Browser(const std::filesystem::path& program, const std::filesystem::path& work, const std::string& url);
    ~Browser() { stop(); }
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    bool started() const { return pid_ > 0; }

    // True once the browser's main process has ended on its own.
    bool exited();

    // Kills every process of the browser and waits until all are gone:
    // its process group, and the helpers that left the group for a session
    // of their own (the crash handler does), which end up as children of
    // this process once their parents are gone.
    void stop();

    // The end of the browser's output, for failure messages.
    std::string log_tail() const;

private:
    // The processes whose parent is this one. The test starts no other.
    static std::vector<pid_t> children();

    std::filesystem::path log_;
    pid_t pid_ = -1;
    bool main_reaped_ = false;
};

}  // namespace postori::browser
