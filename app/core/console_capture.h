// SPDX-License-Identifier: GPL-3.0-or-later
// postori-capture: one capture from the network to a terminal or a script,
// run by the window's own capture run with the console as its host (the same
// wait in slices of WAIT_SLICE_MS, the same cancel with CANCEL_WAIT_MS).
#pragma once

#include <cstdio>
#include <span>
#include <string_view>

#include "app/core/capture_options.h"

namespace postori {

// Runs one capture as `options` ask. While it waits, one line on `err` names
// the address and port (the port the OS picked for port 0); SIGINT and SIGTERM
// cancel the wait, and so does the time-out. A captured form goes to `out`,
// as one JSON object (capture_json.h) or as text for people: the code, then
// a line per field with its name as received and its value as the window
// shows it (a capture that cannot be written there fails). Every other
// outcome is one line on `err`. Returns how it ended.
CaptureExit run_console_capture(const CaptureOptions& options, std::FILE* out, std::FILE* err);

// The whole tool over the arguments after the program's name: --help and
// --version print to `out`, a wrong command line is one line on `err`, and
// anything else is a capture. Returns the exit status.
int capture_tool_main(std::span<const std::string_view> args, std::FILE* out, std::FILE* err);

}  // namespace postori
