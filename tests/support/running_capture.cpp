// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/running_capture.h"

#include <thread>
#include <utility>

namespace postori::test_support {

using namespace std::chrono_literals;

RunningCapture::RunningCapture(std::int32_t port) : RunningCapture(CaptureRequest{port, "127.0.0.1"}) {}

RunningCapture::RunningCapture(CaptureRequest request) : job(std::make_shared<CaptureJob>(std::move(request))) {
    thread = std::make_unique<CaptureThread>(job);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (job->listening_port() == 0 && job->setup_error() == 0 && std::chrono::steady_clock::now() < deadline &&
           !thread->wait_for(0ms)) {
        std::this_thread::sleep_for(20us);
    }
}

RunningCapture::~RunningCapture() {
    if (!thread->wait_for(0ms)) {
        job->cancel();
        thread->wait_for(500ms);
    }
}

std::int32_t RunningCapture::port() const {
    return job->listening_port();
}

bool RunningCapture::ended(std::chrono::milliseconds patience) {
    return thread->wait_for(patience);
}

}  // namespace postori::test_support
