// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/capture_options.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "app/core/captured_values.h"
#include "capture/listener.h"

namespace postori {
namespace {

// Longest --timeout taken: beyond it a wait is as good as endless, and the
// milliseconds stay far inside their type.
constexpr double MAX_TIMEOUT_SECONDS = 1e9;

// Digits only, no sign: a port from 0 to 65535.
std::optional<std::int32_t> port_of(std::string_view text) {
    std::int32_t port = -1;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, port);
    if (text.empty() || text.front() < '0' || text.front() > '9' || error != std::errc() || stop != end ||
        port > 65535) {
        return std::nullopt;
    }
    return port;
}

// Digits with an optional fraction ("30", "0.5"): more than zero seconds,
// rounded up to whole milliseconds.
std::optional<std::chrono::milliseconds> timeout_of(std::string_view text) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    const auto digits = [](std::string_view part) { return part.find_first_not_of("0123456789") == part.npos; };
    if (whole.empty() || !digits(whole) ||
        (point != std::string_view::npos && (fraction.empty() || !digits(fraction)))) {
        return std::nullopt;
    }
    double seconds = 0;
    const auto [stop, error] =
        std::from_chars(text.data(), text.data() + text.size(), seconds, std::chars_format::fixed);
    if (error != std::errc() || stop != text.data() + text.size() || !(seconds > 0) || seconds > MAX_TIMEOUT_SECONDS) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::ceil(seconds * 1000)));
}

std::optional<CodeChoice> code_of(std::string_view text, bool& automatic) {
    automatic = text == "auto";
    for (const CodeNames& names : CODE_NAMES) {
        if (text == names.option) {
            return names.code;
        }
    }
    return std::nullopt;
}

CommandLine usage_error(std::string error) {
    CommandLine wrong;
    wrong.action = CommandAction::Usage;
    wrong.error = std::move(error);
    return wrong;
}

// An argument as a message quotes it: at most 40 bytes, control bytes as '?'
// so the message stays one line.
std::string quoted(std::string_view arg) {
    std::string out = "'";
    for (const char c : arg.substr(0, 40)) {
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    }
    return out + (arg.size() > 40 ? "...'" : "'");
}

}  // namespace

std::string_view program_version() {
    return POSTORI_VERSION;
}

CommandLine parse_command_line(std::span<const std::string_view> args) {
    CommandLine command;
    CaptureOptions& options = command.options;
    for (std::size_t k = 0; k < args.size(); ++k) {
        std::string_view option = args[k];
        std::optional<std::string_view> value;
        if (const std::size_t equals = option.find('='); option.starts_with("--") && equals != option.npos) {
            value = option.substr(equals + 1);
            option = option.substr(0, equals);
        }
        const bool takes_value =
            option == "--port" || option == "--bind" || option == "--code" || option == "--timeout";
        const bool flag = option == "--json" || option == "--help" || option == "-h" || option == "--version";
        if (!takes_value && !flag) {
            return usage_error((option.starts_with("-") ? "unknown option " : "unexpected argument ") +
                               quoted(args[k]));
        }
        if (takes_value && !value) {
            if (k + 1 == args.size()) {
                return usage_error(std::string(option) + " needs a value");
            }
            value = args[++k];
        } else if (!takes_value && value) {
            return usage_error(std::string(option) + " takes no value");
        }

        if (option == "--help" || option == "-h") {
            command.action = CommandAction::Help;
            return command;
        }
        if (option == "--version") {
            command.action = CommandAction::Version;
            return command;
        }
        if (option == "--json") {
            options.json = true;
        } else if (option == "--port") {
            const std::optional<std::int32_t> port = port_of(*value);
            if (!port) {
                return usage_error("--port takes a number from 0 to 65535, not " + quoted(*value));
            }
            options.settings.port = *port;
        } else if (option == "--bind") {
            if (!valid_bind_address(*value)) {
                return usage_error("--bind takes a numeric IPv4 or IPv6 address, not " + quoted(*value));
            }
            options.settings.bind_address = *value;
        } else if (option == "--code") {
            bool automatic = false;
            const std::optional<CodeChoice> code = code_of(*value, automatic);
            if (!code && !automatic) {
                return usage_error("--code takes auto, euc, sjis or utf8, not " + quoted(*value));
            }
            options.settings.code_choice = code;
            options.settings.auto_detect = automatic;
        } else if (option == "--timeout") {
            const std::optional<std::chrono::milliseconds> timeout = timeout_of(*value);
            if (!timeout) {
                return usage_error("--timeout takes a number of seconds above 0 (30, 0.5), not " + quoted(*value));
            }
            options.timeout = timeout;
        }
    }
    return command;
}

const char* code_option_name(CodeChoice code) {
    return code_names(code).option;
}

std::string usage_text() {
    return "Usage: postori-capture [OPTION]...\n"
           "Waits for one HTML form posted to this machine, reads its values as the\n"
           "Postori window does (percent-decoded, converted to Shift_JIS by their code)\n"
           "and prints each field. Every form a browser sends is read: urlencoded,\n"
           "multipart/form-data (a file is shown as its name, type and size; its\n"
           "contents are never kept, however large) and text/plain; any other body is\n"
           "one field named by its media type. A form's _charset_ field decides the\n"
           "code unless --code does. Requests that are not a POST are ignored, each\n"
           "said once in a line on standard error.\n"
           "\n"
           "  --port N           the TCP port to listen on (default 9250; 0: any free port)\n"
           "  --bind ADDRESS     the numeric IPv4 or IPv6 address to listen on (default:\n"
           "                     every interface; 127.0.0.1 keeps the capture local)\n"
           "  --code CODE        what the values are written in: auto (the default: a vote\n"
           "                     over the values decides), euc, sjis or utf8\n"
           "  --json             print the capture as one JSON object on one line\n"
           "  --timeout SECONDS  give up when no form has come within SECONDS (30, 0.5)\n"
           "  --help             print this help and exit\n"
           "  --version          print the version and exit\n"
           "\n"
           "While it waits, a line on standard error names the port; errors go to\n"
           "standard error, one line each.\n"
           "\n"
           "Exit status: 0 captured, 1 failed, 2 wrong command line, 3 cannot listen\n"
           "(the port is in use...), 4 timed out, 5 cancelled (SIGINT or SIGTERM).\n"
           "See postori-capture(1).\n";
}

std::string version_text() {
    return "postori-capture (Postori) " + std::string(program_version()) +
           "\n"
           "Copyright (C) 2026 Postori 開発チーム\n"
           "License GPL-3.0-or-later: GNU GPL version 3 or later <https://www.gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}

}  // namespace postori
