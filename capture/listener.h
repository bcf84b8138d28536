// SPDX-License-Identifier: GPL-3.0-or-later
// The network side of one capture: a listener thread that accepts
// connections on the job's port, receives their requests side by side,
// drops every request that is not a "POST", and stores the first "POST"
// whose body is in (or whose peer closed after its head) as the job's result:
// its form fields as received, and the character code voted over their
// values. Nothing is ever sent back; every connection is closed without an
// answer.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "capture/capture_job.h"

namespace postori {

// Bytes allocated for each connection's request; at most one byte less is
// received, so a zero byte always follows the data.
inline constexpr std::size_t RECEIVE_BUFFER_SIZE = 1'000'000;
// Most connections received side by side; a new one beyond it closes the one
// whose request has come least far (connection_to_evict), so that a "POST"
// whose head is in goes last.
inline constexpr std::size_t MAX_CONNECTIONS = 64;

// Whether `text` is an address the listener can bind: numeric IPv4 or IPv6.
[[nodiscard]] bool valid_bind_address(std::string_view text);

// The thread procedure: runs one capture for `job` and returns 0 when it
// ends (a "POST" captured, a cancel, or a listening socket that could not be
// set up).
int capture_thread(std::shared_ptr<CaptureJob> job);

// A started listener thread that the capture run can wait on with a
// time-out. Destroying it joins a thread that has ended and detaches one that
// has not; the job stays alive through the thread's own reference.
class CaptureThread {
public:
    // Starts capture_thread(job); throws std::system_error when no thread
    // can be started.
    explicit CaptureThread(std::shared_ptr<CaptureJob> job);
    ~CaptureThread();
    CaptureThread(const CaptureThread&) = delete;
    CaptureThread& operator=(const CaptureThread&) = delete;

    // Waits at most `timeout` for the thread to end; true when it has.
    bool wait_for(std::chrono::milliseconds timeout);

private:
    struct State {
        std::mutex mutex;
        std::condition_variable ended_signal;
        bool ended = false;
    };
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace postori
