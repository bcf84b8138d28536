// SPDX-License-Identifier: GPL-3.0-or-later
// One capture running for a test, a fuzz target or a benchmark: its job and
// listener thread, started on 127.0.0.1 and a port the OS picks (or the one
// given, or as `request` asks) and listening, or failed to set up, once
// constructed.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "capture/listener.h"

namespace postori::test_support {

class RunningCapture {
public:
    explicit RunningCapture(std::int32_t port = 0);
    explicit RunningCapture(CaptureRequest request);
    // Cancels the capture when it still runs and gives its thread the
    // capture run's 500 ms to end.
    ~RunningCapture();
    RunningCapture(const RunningCapture&) = delete;
    RunningCapture& operator=(const RunningCapture&) = delete;

    // The port listened on; 0 when setting up failed.
    [[nodiscard]] std::int32_t port() const;

    // Waits at most `patience` for the thread to end; true when it has.
    [[nodiscard]] bool ended(std::chrono::milliseconds patience);

    std::shared_ptr<CaptureJob> job;
    std::unique_ptr<CaptureThread> thread;
};

}  // namespace postori::test_support
