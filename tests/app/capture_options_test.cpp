// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/capture_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/core/resources.h"

namespace postori {
namespace {

using namespace std::chrono_literals;

TEST(CaptureOptions, ReadsEveryOption) {
    struct Case {
        std::vector<std::string_view> args;
        CommandAction action;
        std::int32_t port;
        std::string bind_address;
        std::optional<CodeChoice> code;
        bool json;
        std::optional<std::chrono::milliseconds> timeout;
    };
    const Case cases[] = {
        {{}, CommandAction::Capture, 9250, "", std::nullopt, false, std::nullopt},
        {{"--port", "0"}, CommandAction::Capture, 0, "", std::nullopt, false, std::nullopt},
        {{"--port=65535", "--json"}, CommandAction::Capture, 65535, "", std::nullopt, true, std::nullopt},
        {{"--bind", "127.0.0.1"}, CommandAction::Capture, 9250, "127.0.0.1", std::nullopt, false, std::nullopt},
        {{"--bind=::1"}, CommandAction::Capture, 9250, "::1", std::nullopt, false, std::nullopt},
        {{"--code", "euc"}, CommandAction::Capture, 9250, "", CodeChoice::EucJp, false, std::nullopt},
        {{"--code=utf8", "--code", "auto"}, CommandAction::Capture, 9250, "", std::nullopt, false, std::nullopt},
        {{"--timeout", "30"}, CommandAction::Capture, 9250, "", std::nullopt, false, 30s},
        {{"--timeout", "0.0005"}, CommandAction::Capture, 9250, "", std::nullopt, false, 1ms},
        {{"--port", "1", "--port", "2"}, CommandAction::Capture, 2, "", std::nullopt, false, std::nullopt},
        {{"--json", "--help", "--bogus"}, CommandAction::Help, 9250, "", std::nullopt, true, std::nullopt},
        {{"-h"}, CommandAction::Help, 9250, "", std::nullopt, false, std::nullopt},
        {{"--version"}, CommandAction::Version, 9250, "", std::nullopt, false, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        const CommandLine command = parse_command_line(c.args);
        EXPECT_EQ(command.action, c.action) << command.error;
        const MainSettings& settings = command.options.settings;
        EXPECT_EQ(settings.port, c.port);
        EXPECT_EQ(settings.bind_address, c.bind_address);
        EXPECT_EQ(settings.auto_detect, !c.code.has_value());
        if (c.code) {
            EXPECT_EQ(settings.code_choice, c.code);
        }
        EXPECT_EQ(command.options.json, c.json);
        EXPECT_EQ(command.options.timeout, c.timeout);
    }
}

// A wrong command line is one line that names the culprit.
TEST(CaptureOptions, WrongCommandLinesSayWhatIsWrong) {
    struct Case {
        std::vector<std::string_view> args;
        std::string error;
    };
    const Case cases[] = {
        {{"--port"}, "--port needs a value"},
        {{"--port", "65536"}, "--port takes a number from 0 to 65535, not '65536'"},
        {{"--port", "-1"}, "--port takes a number from 0 to 65535, not '-1'"},
        {{"--port="}, "--port takes a number from 0 to 65535, not ''"},
        {{"--port", "80x"}, "--port takes a number from 0 to 65535, not '80x'"},
        {{"--bind", "localhost"}, "--bind takes a numeric IPv4 or IPv6 address, not 'localhost'"},
        {{"--bind", "127.0.0.256"}, "--bind takes a numeric IPv4 or IPv6 address, not '127.0.0.256'"},
        {{"--code", "EUC"}, "--code takes auto, euc, sjis or utf8, not 'EUC'"},
        {{"--timeout", "0"}, "--timeout takes a number of seconds above 0 (30, 0.5), not '0'"},
        {{"--timeout", "1e3"}, "--timeout takes a number of seconds above 0 (30, 0.5), not '1e3'"},
        {{"--timeout", ".5"}, "--timeout takes a number of seconds above 0 (30, 0.5), not '.5'"},
        {{"--timeout", "2000000000"}, "--timeout takes a number of seconds above 0 (30, 0.5), not '2000000000'"},
        {{"--json=yes"}, "--json takes no value"},
        {{"-p"}, "unknown option '-p'"},
        {{"--bo\x15gus=1"}, "unknown option '--bo?gus=1'"},
        {{"9250"}, "unexpected argument '9250'"},
        {{"--code", std::string_view("x\x01y")}, "--code takes auto, euc, sjis or utf8, not 'x?y'"},
    };
    for (const Case& c : cases) {
        const CommandLine command = parse_command_line(c.args);
        EXPECT_EQ(command.action, CommandAction::Usage) << c.error;
        EXPECT_EQ(command.error, c.error);
    }
}

// The version the tool prints is the one the version box shows; the lines
// after it state the licence.
TEST(CaptureOptions, VersionAgreesWithTheVersionBoxAndStatesTheLicence) {
    const DialogTemplate& box = dialog_template(IDD_VERSION);
    EXPECT_EQ(box.controls[1].text.utf8, "Postori Version " + std::string(program_version()));
    const std::string text = version_text();
    EXPECT_EQ(text.substr(0, text.find('\n')), "postori-capture (Postori) " + std::string(program_version()));
    EXPECT_NE(text.find("\nLicense GPL-3.0-or-later: GNU GPL version 3 or later"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

}  // namespace
}  // namespace postori
