// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of postori-capture, the capture tool for terminals and
// scripts: its options, its exit statuses, and the texts of --help and
// --version.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/core/capture_run.h"
#include "capture/capture_job.h"

namespace postori {

// The program's version, as the version box, the package and --version
// give it.
[[nodiscard]] std::string_view program_version();

// How a run of postori-capture ends: its exit status.
enum class CaptureExit : int {
    Captured = 0,      // a form was captured and printed
    Failed = 1,        // the listener ended without a form for another reason
    Usage = 2,         // the command line is wrong; nothing was listened on
    CannotListen = 3,  // the address and port could not be listened on
    TimedOut = 4,      // --timeout passed without a form
    Cancelled = 5,     // SIGINT (Ctrl+C) or SIGTERM
};

// What one capture is asked to do: the settings a capture run starts from,
// as the window's are (the port, 0 for any free port the waiting line names;
// the address, numeric IPv4 or IPv6, empty for every interface; the code,
// or automatic recognition when --code is auto or not given), and how the
// tool prints and waits.
struct CaptureOptions {
    MainSettings settings;
    bool json = false;
    // None: wait until a form comes or the user cancels.
    std::optional<std::chrono::milliseconds> timeout;
};

// What the command line asks for.
enum class CommandAction {
    Capture,
    Help,
    Version,
    Usage,  // a wrong command line: `error` says what is wrong
};

struct CommandLine {
    CommandAction action = CommandAction::Capture;
    CaptureOptions options;
    // For Usage: one line without its line break.
    std::string error;
};

// Reads the arguments after the program's name. Options are taken in order;
// a later one overrides an earlier one, and --help or --version ends the
// reading. Each option with a value takes it as the next argument or after
// '=' (--port=8080).
[[nodiscard]] CommandLine parse_command_line(std::span<const std::string_view> args);

// The name of a code as --code and the JSON output spell it: "euc", "sjis",
// "utf8".
[[nodiscard]] const char* code_option_name(CodeChoice code);

// The text of --help and of --version, each ending in a line break.
[[nodiscard]] std::string usage_text();
[[nodiscard]] std::string version_text();

}  // namespace postori
