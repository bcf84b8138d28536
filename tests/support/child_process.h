// SPDX-License-Identifier: GPL-3.0-or-later
// A program that a test runs as a process of its own, with its standard
// input empty and its standard output and error kept in files, so the test
// can read what it printed, signal it and see how it ended.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postori::test_support {

class ChildProcess {
public:
    // Starts `program` with `args` (after its name); its output goes to
    // out.txt and err.txt in `work`, which must exist.
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                 const std::filesystem::path& work);
    // Kills the process and reaps it when it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] bool started() const { return pid_ > 0; }

    // Waits at most `limit` for a line of standard error that starts with
    // `prefix`, and returns it (without its line break).
    [[nodiscard]] std::optional<std::string> err_line(std::string_view prefix, std::chrono::milliseconds limit) const;

    // Sends `signal_number` to the process.
    void signal(int signal_number) const;

    // Waits at most `limit` for the process to end. Its exit status, or
    // 128 + the signal that ended it; nullopt while it still runs.
    [[nodiscard]] std::optional<int> wait(std::chrono::milliseconds limit);

    [[nodiscard]] std::string out() const;
    [[nodiscard]] std::string err() const;

private:
    std::filesystem::path out_;
    std::filesystem::path err_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

}  // namespace postori::test_support
