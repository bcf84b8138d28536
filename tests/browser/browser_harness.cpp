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

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "codec/display.h"
#include "tests/support/form_request.h"
#include "tests/support/iconv.h"

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

// --- the forms ---

namespace {

using namespace std::string_view_literals;

constexpr FileInput MEMO_TXT{"memo.txt", "text/plain", "first line\nsecond line\r\nthird\n"};
constexpr FileInput ESTIMATE_PDF{"見積書.pdf", "application/pdf", "%PDF-1.4\n%%EOF\n"};
// 3 MB of lines that nearly are a delimiter: "--", then each browser's
// boundary prefix cut short, with zero bytes and escapes between them.
constexpr std::string_view NEAR_DELIMITERS =
    "\r\n--\r\n------WebKitFormBoundary\0\r\n------geckoformboundary\n%22\r\n\r\n--\r"sv;
constexpr FileInput BIG_BIN{"big.bin", "application/octet-stream", NEAR_DELIMITERS,
                            3 * 1024 * 1024 / NEAR_DELIMITERS.size()};

constexpr FormInput MULTIPART_NO_FILE_INPUTS[] = {
    FORM[0], FORM[1], FORM[2], FORM[3], FORM[4], FORM[5], FORM[6], {"attach", "", InputKind::File},
};
constexpr FormInput MULTIPART_TEXT_FILE_INPUTS[] = {
    FORM[0],
    {"memo", "", InputKind::File, &MEMO_TXT},
    FORM[3],
};
constexpr FormInput MULTIPART_JAPANESE_FILENAME_INPUTS[] = {
    FORM[2],
    {"添付", "", InputKind::File, &ESTIMATE_PDF},
    FORM[1],
};
constexpr FormInput MULTIPART_BIG_FILE_INPUTS[] = {
    FORM[0], {"data", "", InputKind::File, &BIG_BIN}, FORM[1], FORM[3], FORM[4], FORM[5], FORM[6],
};
// Values in ASCII alone: the vote has nothing to go on (and would say
// EUC-JP), so only the "_charset_" field can name the page's code.
constexpr FormInput CHARSET_FIELD_INPUTS[] = {
    {"_charset_", "", InputKind::Hidden},
    {"email", "hanako@example.jp"},
    {"zip", "100-0005"},
};

// `text` as a JavaScript string literal, every byte outside printable ASCII
// escaped.
std::string js_string(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// 3145728 as "3,145,728".
std::string with_commas(std::uint64_t number) {
    std::string digits = std::to_string(number);
    for (std::size_t k = digits.size(); k > 3; k -= 3) {
        digits.insert(k - 3, ",");
    }
    return digits;
}

}  // namespace

const FormShape URLENCODED{"Urlencoded", "application/x-www-form-urlencoded", FORM};
const FormShape MULTIPART_NO_FILE{"MultipartNoFile", "multipart/form-data", MULTIPART_NO_FILE_INPUTS};
const FormShape MULTIPART_TEXT_FILE{"MultipartTextFile", "multipart/form-data", MULTIPART_TEXT_FILE_INPUTS};
const FormShape MULTIPART_JAPANESE_FILENAME{"MultipartJapaneseFilename", "multipart/form-data",
                                            MULTIPART_JAPANESE_FILENAME_INPUTS};
const FormShape MULTIPART_BIG_FILE{"MultipartBigFile", "multipart/form-data", MULTIPART_BIG_FILE_INPUTS};
const FormShape TEXT_PLAIN{"TextPlain", "text/plain", FORM};
const FormShape CHARSET_FIELD{"CharsetField", "application/x-www-form-urlencoded", CHARSET_FIELD_INPUTS};
const FormShape* const FORM_SHAPES[7] = {
    &URLENCODED,         &MULTIPART_NO_FILE, &MULTIPART_TEXT_FILE, &MULTIPART_JAPANESE_FILENAME,
    &MULTIPART_BIG_FILE, &TEXT_PLAIN,        &CHARSET_FIELD,
};

std::ostream& operator<<(std::ostream& out, const FormShape& shape) {
    return out << shape.label;
}

std::ostream& operator<<(std::ostream& out, const PageCase& page_case) {
    return out << page_case.label;
}

std::string page_text(const FormShape& shape, const PageCase& page_case, std::int32_t capture_port) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"" +
                       std::string(page_case.charset) + "\">\n<title>お問い合わせ</title>\n</head>\n<body>\n" +
                       "<form method=\"post\" action=\"http://127.0.0.1:" + std::to_string(capture_port) +
                       "/submit\" enctype=\"" + shape.enctype + "\">\n";
    // Files go in from the script: a page cannot name a file of its own in
    // the markup.
    std::string put_files;
    for (std::size_t k = 0; k < shape.inputs.size(); ++k) {
        const FormInput& input = shape.inputs[k];
        const std::string name = html_escape(input.name);
        const std::string value = html_escape(input.value);
        switch (input.kind) {
            case InputKind::Text:
                html += "<input type=\"text\" name=\"" + name + "\" value=\"" + value + "\">\n";
                break;
            case InputKind::Textarea:
                html += "<textarea name=\"" + name + "\">" + value + "</textarea>\n";
                break;
            case InputKind::Hidden:
                html += "<input type=\"hidden\" name=\"" + name + "\" value=\"" + value + "\">\n";
                break;
            case InputKind::File:
                html += "<input type=\"file\" name=\"" + name + "\">\n";
                if (input.file != nullptr) {
                    put_files += "  put(" + std::to_string(k) + ", " + js_string(input.file->contents) + ", " +
                                 std::to_string(input.file->repeat) + ", " + js_string(input.file->filename) + ", " +
                                 js_string(input.file->type) + ");\n";
                }
                break;
        }
    }
    html +=
        "</form>\n<script>\n"
        "window.addEventListener(\"load\", function () {\n"
        "  const form = document.forms[0];\n"
        "  function put(index, text, times, name, type) {\n"
        "    const dt = new DataTransfer();\n"
        "    dt.items.add(new File([text.repeat(times)], name, {type: type}));\n"
        "    form.elements[index].files = dt.files;\n"
        "  }\n" +
        put_files +
        "  form.submit();\n"
        "});\n"
        "</script>\n</body>\n</html>\n";
    return html;
}

std::string frames_page(const std::vector<std::string>& paths) {
    std::string html =
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"UTF-8\">\n<title>forms</title>\n</head>\n<body>\n";
    for (const std::string& path : paths) {
        html += "<iframe src=\"" + html_escape(path) + "\" width=\"40\" height=\"30\"></iframe>\n";
    }
    return html + "</body>\n</html>\n";
}

std::vector<ExpectedField> expected_fields(const FormShape& shape, const PageCase& page_case) {
    const bool urlencoded = std::string_view(shape.enctype) == URLENCODED.enctype;
    std::vector<ExpectedField> out;
    for (const FormInput& input : shape.inputs) {
        ExpectedField field;
        field.decoded_name = input.name;
        if (urlencoded) {
            const std::optional<std::string> name =
                test_support::iconv_convert(input.name, page_case.iconv_code, "UTF-8");
            if (!name) {
                return {};
            }
            field.name = test_support::form_urlencode(*name);
        } else {
            field.name = input.name;
        }
        if (input.name == "_charset_") {
            field.value = page_case.charset;
        } else if (input.kind != InputKind::File) {
            field.value = replace_all(std::string(input.value), "\n", "\r\n");
        } else if (input.file == nullptr) {
            // An empty file input: no filename, the browsers' default type.
            field.value = "（ファイルなし）";
            field.file = ExpectedFile{"", "application/octet-stream", 0};
        } else {
            const FileInput& file = *input.file;
            field.value = std::string(file.filename) + "（" + std::string(file.type) + "、" + with_commas(file.size()) +
                          " バイト）";
            field.file = ExpectedFile{std::string(file.filename), std::string(file.type), file.size()};
        }
        out.push_back(std::move(field));
    }
    return out;
}

// --- the page server ---

PageServer::PageServer(std::vector<Page> pages)
    : pages_(std::move(pages)),
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
    const auto page = std::find_if(pages_.begin(), pages_.end(),
                                   [&](const Page& p) { return line.starts_with("GET " + p.path + " "); });
    if (page != pages_.end()) {
        answer = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=" + page->charset +
                 "\r\nContent-Length: " + std::to_string(page->bytes.size()) +
                 "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + page->bytes;
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

const char* browser_label(BrowserKind kind) {
    return kind == BrowserKind::Firefox ? "Firefox" : "Chromium";
}

std::optional<fs::path> find_browser(BrowserKind kind) {
    return find_program(kind == BrowserKind::Firefox ? "firefox-esr" : "chromium");
}

std::string browser_missing(BrowserKind kind) {
    return std::string(kind == BrowserKind::Firefox ? "firefox-esr" : "chromium") +
           " is not installed; `scripts/install-deps.sh test` installs it";
}

namespace {

// Firefox's preferences for a run that loads one page and nothing else.
constexpr std::string_view FIREFOX_PREFS[] = {
    // No updates of the program, its add-ons or its plugins.
    R"(user_pref("app.update.disabledForTesting", true);)",
    R"(user_pref("app.update.auto", false);)",
    R"(user_pref("extensions.update.enabled", false);)",
    R"(user_pref("extensions.getAddons.cache.enabled", false);)",
    R"(user_pref("extensions.blocklist.enabled", false);)",
    R"(user_pref("extensions.systemAddon.update.enabled", false);)",
    R"(user_pref("media.gmp-manager.url", "http://127.0.0.1:9");)",
    R"(user_pref("media.gmp-manager.chromium-update-url", "http://127.0.0.1:9");)",
    R"(user_pref("media.gmp-widevinecdm.allow-chromium-update", false);)",
    R"(user_pref("media.eme.enabled", false);)",
    R"(user_pref("media.gmp-provider.enabled", false);)",
    R"(user_pref("media.gmp-gmpopenh264.enabled", false);)",
    R"(user_pref("media.gmp-widevinecdm.enabled", false);)",
    R"(user_pref("browser.search.update", false);)",
    // No telemetry, studies or health reports.
    R"(user_pref("toolkit.telemetry.enabled", false);)",
    R"(user_pref("toolkit.telemetry.unified", false);)",
    R"(user_pref("toolkit.telemetry.server", "http://127.0.0.1:9");)",
    R"(user_pref("datareporting.healthreport.uploadEnabled", false);)",
    R"(user_pref("datareporting.policy.dataSubmissionEnabled", false);)",
    R"(user_pref("datareporting.usage.uploadEnabled", false);)",
    R"(user_pref("app.normandy.enabled", false);)",
    R"(user_pref("app.shield.optoutstudies.enabled", false);)",
    // No captive portal or connectivity checks.
    R"(user_pref("network.captive-portal-service.enabled", false);)",
    R"(user_pref("network.connectivity-service.enabled", false);)",
    // No safe browsing lists.
    R"(user_pref("browser.safebrowsing.malware.enabled", false);)",
    R"(user_pref("browser.safebrowsing.phishing.enabled", false);)",
    R"(user_pref("browser.safebrowsing.downloads.enabled", false);)",
    R"(user_pref("browser.safebrowsing.blockedURIs.enabled", false);)",
    R"(user_pref("browser.safebrowsing.update.enabled", false);)",
    // Remote settings from a port on loopback where nothing listens (taken
    // only with MOZ_REMOTE_SETTINGS_DEVTOOLS=1 in the environment); no push
    // service.
    R"(user_pref("services.settings.server", "http://127.0.0.1:9/v1");)",
    R"(user_pref("dom.push.connection.enabled", false);)",
    R"(user_pref("browser.region.update.enabled", false);)",
    R"(user_pref("browser.region.network.url", "");)",
    R"(user_pref("geo.provider.network.url", "");)",
    // No first-run, welcome or default-browser pages.
    R"(user_pref("browser.shell.checkDefaultBrowser", false);)",
    R"(user_pref("browser.startup.homepage_override.mstone", "ignore");)",
    R"(user_pref("browser.startup.page", 0);)",
    R"(user_pref("startup.homepage_welcome_url", "");)",
    R"(user_pref("startup.homepage_welcome_url.additional", "");)",
    R"(user_pref("browser.aboutwelcome.enabled", false);)",
    R"(user_pref("datareporting.policy.firstRunURL", "");)",
    // No new tab page made ready in the background, with its tiles and ads.
    R"(user_pref("browser.newtabpage.enabled", false);)",
    R"(user_pref("browser.newtab.preload", false);)",
    R"(user_pref("browser.topsites.contile.enabled", false);)",
    R"(user_pref("browser.newtabpage.activity-stream.unifiedAds.tiles.enabled", false);)",
    R"(user_pref("browser.newtabpage.activity-stream.unifiedAds.spocs.enabled", false);)",
    R"(user_pref("browser.sessionstore.resume_from_crash", false);)",
    // No DNS prefetch, link prefetch or speculative connections; no DNS
    // over HTTPS.
    R"(user_pref("network.dns.disablePrefetch", true);)",
    R"(user_pref("network.prefetch-next", false);)",
    R"(user_pref("network.predictor.enabled", false);)",
    R"(user_pref("network.http.speculative-parallel-limit", 0);)",
    R"(user_pref("browser.urlbar.speculativeConnect.enabled", false);)",
    R"(user_pref("browser.places.speculativeConnect.enabled", false);)",
    R"(user_pref("network.trr.mode", 5);)",
    // No proxy, whatever the environment says.
    R"(user_pref("network.proxy.type", 0);)",
};

}  // namespace

Browser::Browser(BrowserKind kind, const fs::path& program, const fs::path& work, const std::string& url)
    : log_(work / "browser.log") {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    for (const char* dir : {"profile", "home", "tmp", "config", "cache"}) {
        fs::create_directories(work / dir);
    }
    const fs::path profile = work / "profile";
    std::vector<std::string> args;
    std::vector<std::string> own_env = {
        "HOME=" + (work / "home").string(),
        "TMPDIR=" + (work / "tmp").string(),
        "XDG_CONFIG_HOME=" + (work / "config").string(),
        "XDG_CACHE_HOME=" + (work / "cache").string(),
    };
    if (kind == BrowserKind::Firefox) {
        std::ofstream prefs(profile / "user.js");
        for (const std::string_view pref : FIREFOX_PREFS) {
            prefs << pref << '\n';
        }
        args = {program.string(), "--headless", "--no-remote", "--new-instance", "--profile", profile.string(), url};
        own_env.insert(own_env.end(),
                       {"MOZ_HEADLESS=1", "MOZ_CRASHREPORTER_DISABLE=1", "MOZ_REMOTE_SETTINGS_DEVTOOLS=1"});
    } else {
        args = {
            program.string(),
            "--headless",
            "--no-sandbox",
            "--disable-gpu",
            "--disable-quic",
            "--no-first-run",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-sync",
            "--user-data-dir=" + profile.string(),
            // Nothing may leave the machine: no host name resolves (the
            // browser still looks some up at start), and no proxy is taken
            // from the environment.
            "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1",
            "--no-proxy-server",
            url,
        };
    }
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view var(*entry);
        const bool own = std::any_of(own_env.begin(), own_env.end(), [&](const std::string& mine) {
            return var.starts_with(std::string_view(mine).substr(0, mine.find('=') + 1));
        });
        if (!own) {
            env.emplace_back(var);
        }
    }
    env.insert(env.end(), own_env.begin(), own_env.end());

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
