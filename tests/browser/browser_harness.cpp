// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/browser/browser_harness.h"

#include <arpa/inet.h>
#include <fcntl.h>
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

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "codec/display.h"

extern char** environ;

namespace postori::browser {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// --- text helpers ---

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

std::string shown(const std::string& sjis) {
    return "\"" + replace_all(replace_all(sjis_to_utf8(sjis), "\r", "\\r"), "\n", "\\n") + "\"";
}

// --- the form ---

std::ostream& operator<<(std::ostream& out, const PageCase& page_case) {
    return out << page_case.label;
}

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

PageServer::PageServer(std::string page, std::string charset)
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

PageServer::~PageServer() {
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

std::vector<std::string> PageServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void PageServer::run() {
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

bool PageServer::serve(Connection& connection) {
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

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "postori-browser-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
        path_ = pattern;
    }
}

TempDir::~TempDir() {
    if (!path_.empty()) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
}

Browser::Browser(const fs::path& program, const fs::path& work, const std::string& url) : log_(work / "browser.log") {
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

bool Browser::exited() {
    if (pid_ > 0 && !main_reaped_) {
        int status = 0;
        main_reaped_ = ::waitpid(pid_, &status, WNOHANG) == pid_;
    }
    return main_reaped_;
}

void Browser::stop() {
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

std::string Browser::log_tail() const {
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

std::vector<pid_t> Browser::children() {
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

}  // namespace postori::browser
