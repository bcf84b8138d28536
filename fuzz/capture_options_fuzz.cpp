// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as postori-capture's command line, split at zero bytes into
// arguments. Reading it must answer either what to do, with every setting in
// its range, or one line that says what is wrong, without a control
// character in it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "app/core/capture_options.h"
#include "capture/listener.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> args;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\0');
        args.push_back(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    const postori::CommandLine command = postori::parse_command_line(args);
    const postori::CaptureOptions& options = command.options;
    bool sound = command.error.empty() != (command.action == postori::CommandAction::Usage);
    for (const char c : command.error) {
        sound = sound && static_cast<unsigned char>(c) >= 0x20 && c != 0x7F;
    }
    if (command.action != postori::CommandAction::Usage) {
        const postori::MainSettings& settings = options.settings;
        sound = sound && settings.port >= 0 && settings.port <= 65535 &&
                (settings.bind_address.empty() || postori::valid_bind_address(settings.bind_address)) &&
                (settings.auto_detect || settings.code_choice.has_value()) &&
                (!options.timeout || options.timeout->count() > 0);
    }
    if (!sound) {
        std::abort();
    }
    return 0;
}
