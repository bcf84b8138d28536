// SPDX-License-Identifier: GPL-3.0-or-later
// Options a fuzz target gives libFuzzer as its own defaults, from
// LLVMFuzzerInitialize (which libFuzzer calls before it reads its command
// line): a run started by hand, by the suite or by scripts/fuzz-long.sh then
// fuzzes the same way, and an option given on the command line still wins.
#pragma once

#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace postori::fuzz {

// Puts `option` ("-name=value") on the command line in `argc`/`argv` unless
// an option of that name is there already.
inline void default_option(int* argc, char*** argv, const char* option) {
    const std::size_t name_length = std::strcspn(option, "=") + 1;
    for (int k = 1; k < *argc; ++k) {
        if (std::strncmp((*argv)[k], option, name_length) == 0) {
            return;
        }
    }
    // The new command line outlives the call: libFuzzer reads it later. A
    // deque never moves the strings the arguments point into.
    static std::deque<std::string> added;
    static std::vector<char*> arguments;
    added.emplace_back(option);
    arguments.assign(*argv, *argv + *argc);
    arguments.insert(arguments.begin() + 1, added.back().data());
    arguments.push_back(nullptr);
    *argv = arguments.data();
    *argc = static_cast<int>(arguments.size() - 1);
}

}  // namespace postori::fuzz
