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
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/core/captured_values.h"
#include "capture/form_body.h"
#include "capture/listener.h"
#include "capture/request_head.h"
#include "codec/convert.h"
#include "codec/display.h"

extern char** environ;

namespace postori {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// How long the browser may take from start to the captured form.
constexpr auto BROWSER_LIMIT = 60s;
// How long the capture run waits for a cancelled thread.
constexpr auto CANCEL_WAIT = 500ms;

// --- text helpers ---

// `text` converted by glibc iconv, or nothing when iconv does not know a code
// or a character cannot be converted.
std::optional<std::string> iconv_convert(std::string_view text, const char* to, const char* from) {
    const iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1))) {
        return std::nullopt;
    }
    std::string out(text.size() * 4 + 16, '\0');
    std::string in(text);
    char* in_next = in.data();
    std::size_t in_left = in.size();
    char* out_next = out.data();
    std::size_t out_left = out.size();
    const std::size_t result = ::iconv(cd, &in_next, &in_left, &out_next, &out_left);
    ::iconv_close(cd);
    if (result == static_cast<std::size_t>(-1) || in_left != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - out_left);
    return out;
}

// The bytes as a browser writes them in an application/x-www-form-urlencoded
// body: letters, digits and * - . _ stay, a space becomes '+', every other
// byte becomes %XX with upper-case digits.
std::string form_urlencode(std::string_view bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            byte == '*' || byte == '-' || byte == '.' || byte == '_') {
            out += c;
        } else if (byte == ' ') {
            out += '+';
        } else {
            out += '%';
            out += digits[byte >> 4];
            out += digits[byte & 0xF];
        }
    }
    return out;
}

std::string html_escape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string replace_all(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// Shift_JIS bytes shown as readable text in a failure message.
std::string shown(const std::string& sjis) {
    return "\"" + replace_all(replace_all(sjis_to_utf8(sjis), "\r", "\\r"), "\n", "\\n") + "\"";
}

// --- the form ---

struct FormInput {
    std::string_view name;   // UTF-8
    std::string_view value;  // UTF-8, as typed; a line break is "\n"
    bool textarea = false;
};

// Every kind of value the capture has to carry through: kanji with kana, a
// long address, a field whose name is Japanese, two lines, the bytes that
// urlencoding escapes, half-width katakana and an empty field.
const FormInput FORM[] = {
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

std::ostream& operator<<(std::ostream& out, const PageCase& page_case) {
    return out << page_case.label;
}

const PageCase PAGE_CASES[] = {
    {"EucJp", "EUC-JP", "EUC-JP-MS", CodeChoice::EucJp},
    {"ShiftJis", "Shift_JIS", "CP932", CodeChoice::ShiftJis},
    {"Utf8", "UTF-8", "UTF-8", CodeChoice::Utf8},
};

// The page in UTF-8; it is converted to the page's charset as a whole.
std::string page_text(const PageCase& page_case, std::int32_t capture_port) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"" +
                       std::string(page_case.charset) +
                       "\">\n<title>お問い合わせ</title>\n</head>\n<body onload=\"document.forms[0].submit()\">\n" +
                       "<form method=\"post\" action=\"http://127.0.0.1:" + std::to_string(capture_port) +
                       "/submit\" enctype=\"application/x-www-form-urlencoded\">\n";
    for (const FormInput& input : FORM) {
        if (input.textarea) {
            html += "<textarea name=\"" + html_escape(input.name) + "\">" + html_escape(input.value) + "</textarea>\n";
        } else {
            html += "<input type=\"text\" name=\"" + html_escape(input.name) + "\" value=\"" +
                    html_escape(input.value) + "\">\n";
        }
    }
    html += "</form>\n</body>\n</html>\n";
    return html;
}

// --- the page server ---

// Serves one page on 127.0.0.1 (a port the OS picks) to any number of
// connections side by side: GET /form.html gets the page, every other request
// a 404, and each connection is closed after its answer.
class PageServer {
public:
    PageServer(std::string page, std::string charset)
        : page_(std::move(page)),
          charset_(std::move(charset)),
          listen_fd_(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)),
          wake_fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listen_fd_ < 0 || wake_fd_ < 0 ||
            ::bind(listen_fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listen_fd_, 16) != 0 ||
            ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~PageServer() {
        if (thread_.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
            thread_.join();
        }
        if (listen_fd_ >= 0) {
            ::close(listen_fd_);
        }
        if (wake_fd_ >= 0) {
            ::close(wake_fd_);
        }
    }
    PageServer(const PageServer&) = delete;
    PageServer& operator=(const PageServer&) = delete;

    std::int32_t port() const { return port_; }

    // The request lines received so far.
    std::vector<std::string> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    struct Connection {
        int fd;
        std::string received;
    };

    void run() {
        std::vector<Connection> connections;
        for (;;) {
            std::vector<pollfd> polled{{wake_fd_, POLLIN, 0}, {listen_fd_, POLLIN, 0}};
            for (const Connection& connection : connections) {
                polled.push_back({connection.fd, POLLIN, 0});
            }
            if (::poll(polled.data(), polled.size(), -1) < 0 && errno != EINTR) {
                break;
            }
            if (polled[0].revents != 0) {
                break;
            }
            for (std::size_t k = 2; k < polled.size(); ++k) {
                if (polled[k].revents != 0 && !serve(connections[k - 2])) {
                    ::close(connections[k - 2].fd);
                    connections[k - 2].fd = -1;
                }
            }
            std::erase_if(connections, [](const Connection& c) { return c.fd < 0; });
            if ((polled[1].revents & POLLIN) != 0) {
                // Accepted sockets are blocking: answers are sent whole.
                for (int fd; (fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
                    connections.push_back({fd, {}});
                }
            }
        }
        for (const Connection& connection : connections) {
            ::close(connection.fd);
        }
    }

    // Reads what has arrived; once the head is in, answers. False when the
    // connection is done.
    bool serve(Connection& connection) {
        char chunk[4096];
        const ssize_t got = ::recv(connection.fd, chunk, sizeof chunk, 0);
        if (got <= 0) {
            return false;
        }
        connection.received.append(chunk, static_cast<std::size_t>(got));
        if (connection.received.find("\r\n\r\n") == std::string::npos) {
            return true;
        }
        const std::string line = connection.received.substr(0, connection.received.find("\r\n"));
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(line);
        }
        std::string answer;
        if (line.starts_with("GET /form.html ")) {
            answer = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=" + charset_ +
                     "\r\nContent-Length: " + std::to_string(page_.size()) +
                     "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + page_;
        } else {
            answer =
                "HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n"
                "Connection: close\r\n\r\nnot found";
        }
        std::string_view rest = answer;
        while (!rest.empty()) {
            const ssize_t sent = ::send(connection.fd, rest.data(), rest.size(), MSG_NOSIGNAL);
            if (sent <= 0) {
                break;
            }
            rest.remove_prefix(static_cast<std::size_t>(sent));
        }
        ::shutdown(connection.fd, SHUT_WR);
        return false;
    }

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

std::optional<fs::path> find_program(std::string_view name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return std::nullopt;
}

// A fresh directory, removed with all it holds.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "postori-browser-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempDir() {
        if (!path_.empty()) {
            std::error_code ignored;
            fs::remove_all(path_, ignored);
        }
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Headless Chromium loading one URL, in its own process group, with its
// profile, home and temporary files inside `work` and its output in
// work/browser.log. Stopping it kills and reaps every process it started: the
// test process makes itself the reaper of its orphaned descendants, so none
// is left behind, not even one that left the group.
class Browser {
public:
    Browser(const fs::path& program, const fs::path& work, const std::string& url) : log_(work / "browser.log") {
        ::prctl(PR_SET_CHILD_SUBREAPER, 1);
        for (const char* dir : {"profile", "home", "tmp", "config", "cache"}) {
            fs::create_directories(work / dir);
        }
        std::vector<std::string> args = {
            program.string(),
            "--headless",
            "--no-sandbox",
            "--disable-gpu",
            "--disable-quic",
            "--no-first-run",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-sync",
            "--user-data-dir=" + (work / "profile").string(),
            // Nothing may leave the machine: no host name resolves (the
            // browser still looks some up at start), and no proxy is taken
            // from the environment.
            "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1",
            "--no-proxy-server",
            url,
        };
        std::vector<std::string> env;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view var(*entry);
            if (!var.starts_with("HOME=") && !var.starts_with("TMPDIR=") && !var.starts_with("XDG_CONFIG_HOME=") &&
                !var.starts_with("XDG_CACHE_HOME=")) {
                env.emplace_back(var);
            }
        }
        env.push_back("HOME=" + (work / "home").string());
        env.push_back("TMPDIR=" + (work / "tmp").string());
        env.push_back("XDG_CONFIG_HOME=" + (work / "config").string());
        env.push_back("XDG_CACHE_HOME=" + (work / "cache").string());

        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& var : env) {
            envp.push_back(var.data());
        }
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawnattr_t attributes;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        ::posix_spawn_file_actions_addopen(&actions, 1, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
        ::posix_spawnattr_init(&attributes);
        sigset_t no_signals;
        sigemptyset(&no_signals);
        ::posix_spawnattr_setsigmask(&attributes, &no_signals);
        ::posix_spawnattr_setpgroup(&attributes, 0);
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
        pid_t pid = -1;
        if (::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data()) == 0) {
            pid_ = pid;
        }
        ::posix_spawnattr_destroy(&attributes);
        ::posix_spawn_file_actions_destroy(&actions);
    }
    ~Browser() { stop(); }
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    bool started() const { return pid_ > 0; }

    // True once the browser's main process has ended on its own.
    bool exited() {
        if (pid_ > 0 && !main_reaped_) {
            int status = 0;
            main_reaped_ = ::waitpid(pid_, &status, WNOHANG) == pid_;
        }
        return main_reaped_;
    }

    // Kills every process of the browser and waits until all are gone:
    // its process group, and the helpers that left the group for a session
    // of their own (the crash handler does), which end up as children of
    // this process once their parents are gone.
    void stop() {
        if (pid_ <= 0) {
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        for (;;) {
            ::kill(-pid_, SIGKILL);
            for (const pid_t child : children()) {
                ::kill(child, SIGKILL);
            }
            int status = 0;
            const pid_t reaped = ::waitpid(-1, &status, WNOHANG);
            if (reaped > 0) {
                continue;
            }
            if ((reaped < 0 && errno == ECHILD) || std::chrono::steady_clock::now() > deadline) {
                break;
            }
            std::this_thread::sleep_for(5ms);
        }
        pid_ = -1;
    }

    // The end of the browser's output, for failure messages.
    std::string log_tail() const {
        std::ifstream in(log_);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        std::string out;
        for (std::size_t k = lines.size() > 30 ? lines.size() - 30 : 0; k < lines.size(); ++k) {
            out += lines[k] + "\n";
        }
        return out;
    }

private:
    // The processes whose parent is this one. The test starts no other.
    static std::vector<pid_t> children() {
        std::vector<pid_t> out;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator("/proc", error)) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            std::ifstream stat(entry.path() / "stat");
            std::string line;
            std::getline(stat, line);
            // pid (comm) state ppid ...; comm may hold spaces and parentheses.
            const std::size_t end_of_comm = line.rfind(')');
            if (end_of_comm == std::string::npos) {
                continue;
            }
            std::istringstream fields(line.substr(end_of_comm + 1));
            std::string state;
            pid_t parent = 0;
            if (fields >> state >> parent && parent == ::getpid()) {
                out.push_back(static_cast<pid_t>(std::stol(name)));
            }
        }
        return out;
    }

    fs::path log_;
    pid_t pid_ = -1;
    bool main_reaped_ = false;
};

// --- the capture ---

// One capture on a port the OS picks; cancelled when the test leaves early.
class RunningCapture {
public:
    RunningCapture() : job(std::make_shared<CaptureJob>()) {
        job->port = 0;
        thread = std::make_unique<CaptureThread>(job);
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (job->listening_port.load() == 0 && job->setup_error.load() == 0 &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
    }
    ~RunningCapture() {
        job->cancel();
        thread->wait_for(CANCEL_WAIT);
    }
    RunningCapture(const RunningCapture&) = delete;
    RunningCapture& operator=(const RunningCapture&) = delete;

    std::shared_ptr<CaptureJob> job;
    std::unique_ptr<CaptureThread> thread;
};

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
    RunningCapture capture;
    const std::int32_t capture_port = capture.job->listening_port.load();
    ASSERT_NE(capture_port, 0) << std::strerror(capture.job->setup_error.load());

    const std::optional<std::string> page =
        iconv_convert(page_text(page_case, capture_port), page_case.iconv_code, "UTF-8");
    ASSERT_TRUE(page) << "iconv cannot write the page in " << page_case.iconv_code;
    PageServer server(*page, page_case.charset);
    ASSERT_NE(server.port(), 0) << "page server: " << std::strerror(errno);

    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/form.html";
    Browser browser(*chromium, work.path(), url);
    ASSERT_TRUE(browser.started()) << "cannot start " << *chromium;

    const auto deadline = std::chrono::steady_clock::now() + BROWSER_LIMIT;
    bool ended = false;
    while (!ended && !browser.exited() && std::chrono::steady_clock::now() < deadline) {
        ended = capture.thread->wait_for(100ms);
    }
    ended = ended || capture.thread->wait_for(100ms);
    browser.stop();
    std::string served;
    for (const std::string& line : server.requests()) {
        served += "  " + line + "\n";
    }
    ASSERT_TRUE(ended) << "no form arrived within " << BROWSER_LIMIT.count() << " s\npage requests:\n"
                       << served << "browser output:\n"
                       << browser.log_tail();

    const CaptureJob& job = *capture.job;
    ASSERT_EQ(job.head.method, RequestMethod::Post);
    EXPECT_STREQ(code_choice_name(job.code_choice), code_choice_name(page_case.code)) << "the vote";
    std::string captured;
    for (const FormField& field : job.fields) {
        captured += "  " + field.name + " = " + field.value + "\n";
    }
    ASSERT_EQ(job.fields.size(), expected.size()) << "captured fields:\n" << captured;
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const FormField& field = job.fields[k];
        SCOPED_TRACE("field " + std::to_string(k) + " (" + std::string(FORM[k].name) + ")");
        EXPECT_EQ(field.name, expected[k].raw_name);
        const std::string value = value_as_sjis(field.value, job.code_choice);
        EXPECT_EQ(value, expected[k].sjis_value)
            << "raw " << field.value << "\n got " << shown(value) << "\nwant " << shown(expected[k].sjis_value);
    }

    // The cases that are easy to get subtly wrong, spelled out.
    EXPECT_NE(job.fields[3].value.find("%0D%0A"), std::string::npos) << "the line break of the textarea";
    EXPECT_EQ(decode_value(job.fields[2].name), iconv_convert(FORM[2].name, page_case.iconv_code, "UTF-8"))
        << "the Japanese field name in the page's charset";
    EXPECT_EQ(job.fields[4].value.substr(0, 13), "1%2B1%3D2+%26") << "'+', '=' and '&' in a value";
    EXPECT_EQ(job.fields[6].value, "") << "the empty field";
}

INSTANTIATE_TEST_SUITE_P(Charsets, BrowserPost, testing::ValuesIn(PAGE_CASES),
                         [](const testing::TestParamInfo<PageCase>& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace postori
