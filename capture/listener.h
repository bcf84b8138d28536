// The network side of one capture: a listener thread that accepts
// connections on the job's port, receives their requests side by side,
// drops every request that is not a "POST", and captures the first "POST"
// whose body is in (or whose peer closed after its head) into the job: its
// form fields as received, and the character code voted over their values.
// Nothing is ever sent back; every connection is closed without an answer.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/form_body.h"
#include "capture/request_head.h"
#include "capture/vote.h"

namespace postori {

inline constexpr std::int32_t DEFAULT_PORT = 9250;
// Bytes allocated for each connection's request; at most one byte less is
// received, so a zero byte always follows the data.
inline constexpr std::size_t RECEIVE_BUFFER_SIZE = 1'000'000;
// Most connections received side by side; a new one beyond it closes the one
// that has been idle longest.
inline constexpr std::size_t MAX_CONNECTIONS = 64;

// The record one capture run and its listener thread share. The run creates
// it (through std::make_shared, so the thread can hold it as long as it
// runs), sets `port`, starts the thread, and reads `head`, `fields` and
// `code_choice` only after the thread has ended. While the thread runs, the
// only state the two share is atomic: the cancel request and what the
// listener publishes about its socket.
struct CaptureJob {
    CaptureJob();
    ~CaptureJob();
    CaptureJob(const CaptureJob&) = delete;
    CaptureJob& operator=(const CaptureJob&) = delete;

    // The listening socket, once the thread has made it (-1 before and after).
    std::atomic<int> listen_socket{-1};
    // The port to listen on; only its low 16 bits are used (0: any free port).
    std::int32_t port = DEFAULT_PORT;
    // The port actually listened on, once listening (0 before, and when
    // setting up failed).
    std::atomic<std::int32_t> listening_port{0};
    // Why setting up the listening socket failed (an errno value), or 0.
    std::atomic<int> setup_error{0};

    // The captured request: its head (method Post means a form was captured;
    // the zero head reads as Get), its fields as received, and the vote.
    RequestHead head;
    std::vector<FormField> fields;
    CodeChoice code_choice = CodeChoice::EucJp;

    // Asks the thread to end: it closes every connection and the listening
    // socket and writes nothing more into the job. Safe from any thread, at
    // any time, also before the thread has started or made its socket.
    // Returns false when the capture was already being written (the thread
    // then ends on its own with a captured "POST").
    bool cancel();
    [[nodiscard]] bool cancelled() const;

    // Used by the listener thread.
    enum class Phase : int { Running, Cancelled, Captured };
    std::atomic<Phase> phase{Phase::Running};
    int wake_fd = -1;  // an eventfd the listener polls, written by cancel()
};

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
