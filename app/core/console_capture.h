// One capture from the network to the terminal, for the developer's tool
// beside the window: the window's own capture run with the terminal as its
// host (listen, wait for a form, Ctrl+C cancels, print what came).
#pragma once

#include <cstdint>
#include <cstdio>

namespace postori {

// Runs one capture on `port` and prints to `out`: while waiting, the port;
// then the outcome, and for a captured form the voted code and each field,
// its name as received and its value converted to Shift_JIS by the vote as
// the window shows it, decoded to UTF-8. SIGINT and SIGTERM cancel the wait.
// Returns 0 for a captured form, 1 for a cancel or a failure.
int run_console_capture(std::int32_t port, std::FILE* out);

}  // namespace postori
