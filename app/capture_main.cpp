// SPDX-License-Identifier: GPL-3.0-or-later
// postori-capture: one capture from the network to a terminal or a script.
// See app/core/console_capture.h and postori-capture(1).
#include <cstdio>
#include <string_view>
#include <vector>

#include "app/core/console_capture.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return postori::capture_tool_main(args, stdout, stderr);
}
