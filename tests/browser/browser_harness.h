// SPDX-License-Identifier: GPL-3.0-or-later
// What the tests with a real browser share: the forms of every kind and the
// pages that post them in each charset, what a capture of each must show, a
// server for those pages on 127.0.0.1, and headless Chromium or Firefox run
// in a directory of its own and stopped with everything it started.
//
// Nothing may leave the machine: Chromium resolves no host name, Firefox
// has every service that would look one up turned off, and neither uses a
// proxy.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>
#include <span>
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

// --- the forms ---

enum class InputKind : std::uint8_t { Text, Textarea, Hidden, File };

// A file the page puts into a file input: `contents` (ASCII, control bytes
// and zero bytes included) `repeat` times over.
struct FileInput {
    std::string_view filename;  // UTF-8
    std::string_view type;
    std::string_view contents;
    std::size_t repeat = 1;

    constexpr std::uint64_t size() const { return contents.size() * repeat; }
};

struct FormInput {
    std::string_view name;   // UTF-8
    std::string_view value;  // UTF-8, as typed; a line break is "\n"
    InputKind kind = InputKind::Text;
    // For a file input, what the page puts into it; none leaves it empty.
    const FileInput* file = nullptr;
};

// Every kind of value the capture has to carry through: kanji with kana, a
// long address, a field whose name is Japanese, two lines, the bytes that
// urlencoding escapes, half-width katakana and an empty field.
inline constexpr FormInput FORM[] = {
    {"shimei", "山田 はなこ"},
    {"address", "東京都千代田区丸の内１丁目２番３号　中央ビル４階"},
    {"お名前", "ヤマダ ハナコ"},
    {"message", "一行目です。\n二行目は「かぎかっこ」付き。", InputKind::Textarea},
    {"formula", "1+1=2 & 100%増し"},
    {"kana", "ﾔﾏﾀﾞ ﾊﾅｺ"},
    {"empty", ""},
};

// One form: how it is sent and its inputs in page order.
struct FormShape {
    const char* label;
    const char* enctype;  // also the media type the capture reports
    std::span<const FormInput> inputs;
};

std::ostream& operator<<(std::ostream& out, const FormShape& shape);

// Every kind of body a form sends: urlencoded; multipart with an empty file
// input, with a small text file, with a file whose name is Japanese, and
// with a file of 3 MB followed by more fields (its contents hold lines that
// nearly are a part delimiter of either browser); text/plain; and a form
// whose hidden "_charset_" field the browser fills in with its code, beside
// values in ASCII alone (which leave the vote at EUC-JP).
extern const FormShape URLENCODED;
extern const FormShape MULTIPART_NO_FILE;
extern const FormShape MULTIPART_TEXT_FILE;
extern const FormShape MULTIPART_JAPANESE_FILENAME;
extern const FormShape MULTIPART_BIG_FILE;
extern const FormShape TEXT_PLAIN;
extern const FormShape CHARSET_FIELD;
extern const FormShape* const FORM_SHAPES[7];

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

// The page in UTF-8; it is converted to the page's charset as a whole. Once
// loaded, it puts its files into its file inputs and its form posts itself
// to `capture_port` on 127.0.0.1.
std::string page_text(const FormShape& shape, const PageCase& page_case, std::int32_t capture_port);

// The urlencoded FORM's page.
inline std::string page_text(const PageCase& page_case, std::int32_t capture_port) {
    return page_text(URLENCODED, page_case, capture_port);
}

// A page (UTF-8) of one small frame for each of `paths`, all loading at once.
std::string frames_page(const std::vector<std::string>& paths);

// What a capture of a shape's form in a page's charset must show, each text
// in UTF-8 as the window and postori-capture's JSON show it.
struct ExpectedFile {
    std::string filename;
    std::string content_type;
    std::uint64_t size = 0;
};

struct ExpectedField {
    std::string name;  // a urlencoded name percent-encoded in the page's charset
    std::string decoded_name;
    std::string value;  // line breaks as CR LF; a file as its row says it
    std::optional<ExpectedFile> file;
};

// Empty when iconv cannot write a name in the page's charset.
std::vector<ExpectedField> expected_fields(const FormShape& shape, const PageCase& page_case);

// --- the page server ---

// A page the server serves: GET `path` gets `bytes` as text/html in
// `charset`.
struct Page {
    std::string path;
    std::string bytes;
    std::string charset;
};

// Serves pages on 127.0.0.1 (a port the OS picks) to any number of
// connections side by side: a GET of a page's path gets the page, every other
// request a 404, and each connection is closed after its answer.
class PageServer {
public:
    explicit PageServer(std::vector<Page> pages);
    // One page, at /form.html.
    PageServer(std::string page, std::string charset)
        : PageServer(std::vector<Page>{{"/form.html", std::move(page), std::move(charset)}}) {}
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

    std::vector<Page> pages_;
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

// The browsers the suite drives, each headless from its Debian package.
enum class BrowserKind : std::uint8_t { Chromium, Firefox };

inline constexpr BrowserKind BROWSER_KINDS[] = {BrowserKind::Chromium, BrowserKind::Firefox};

// "Chromium" or "Firefox", for test names and messages.
const char* browser_label(BrowserKind kind);

// The browser's program on PATH ("chromium", "firefox-esr"), if installed.
std::optional<std::filesystem::path> find_browser(BrowserKind kind);

// The reason a test skips when the browser is missing.
std::string browser_missing(BrowserKind kind);

// A headless browser loading one URL, in its own process group, with a fresh
// profile, its home and temporary files inside `work` and its output in
// work/browser.log. Firefox's profile holds a user.js that keeps it to the
// page: no updates, telemetry, captive portal or connectivity checks, safe
// browsing, remote settings, first-run pages, prefetching or speculative
// connections, and no proxy. Stopping it kills and reaps every process it
// started: the test process makes itself the reaper of its orphaned
// descendants, so none is left behind, not even one that left the group.
// Stopping it reaps every child of the test process: a test that runs a
// process of its own beside the browser waits for it (or kills it) before
// the browser is stopped.
class Browser {
public:
    Browser(BrowserKind kind, const std::filesystem::path& program, const std::filesystem::path& work,
            const std::string& url);
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
