// SPDX-License-Identifier: GPL-3.0-or-later
// The record one capture run and its listener thread share: what the capture
// is asked for, what it yields, and the cancel that may end it early.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capture/form_body.h"
#include "capture/request_head.h"
#include "capture/vote.h"

namespace postori {

// The port the program listens on.
inline constexpr std::int32_t DEFAULT_PORT = 9250;

// What one capture is asked for. The run fills it in before the thread
// starts; it never changes after that.
struct CaptureRequest {
    // The TCP port to listen on; only its low 16 bits are used (0: any free
    // port, for tools and tests).
    std::int32_t port = DEFAULT_PORT;
    // The address to listen on, numeric IPv4 ("127.0.0.1") or IPv6 ("::1");
    // empty for the IPv4 wildcard (every interface), as the program listens.
    // One the listener cannot read fails the set-up with EINVAL.
    std::string bind_address = {};
    // Called on the listener thread for every request it drops whose head
    // was complete and is not a "POST", with the request line's method and
    // target as sent; none when empty. It must not touch the job.
    std::function<void(std::string_view method, std::string_view target)> on_ignored = {};
};

// What one capture yields.
struct CaptureResult {
    // The head of the captured request: method Post means a form was
    // captured; the zero head reads as Get.
    RequestHead head;
    // The form's fields in body order: a urlencoded form's as received
    // (still percent-encoded), other bodies' as FieldKind says.
    std::vector<FormField> fields;
    // The vote over the fields' values.
    CodeChoice code_choice = CodeChoice::EucJp;
    // The code the form's "_charset_" field names, if it names one.
    std::optional<CodeChoice> declared_code = std::nullopt;
    // The request's media type as its head gave it (lower case; empty when
    // it gave none).
    std::string content_type = {};
    // False when part of the body is missing from `fields`: its peer closed
    // before the announced length, or what it sent was past what is kept.
    bool complete = true;
};

// One capture, shared by the run and its listener thread: the run makes it
// (through std::make_shared, so the thread can hold it for as long as it
// runs), starts the thread, and reads the result once the thread has ended.
// While the thread runs, what the two share is atomic: the cancel, whether
// the result is stored, and what the listener tells of its socket.
class CaptureJob {
public:
    explicit CaptureJob(CaptureRequest request = {});
    ~CaptureJob();
    CaptureJob(const CaptureJob&) = delete;
    CaptureJob& operator=(const CaptureJob&) = delete;

    [[nodiscard]] const CaptureRequest& request() const { return request_; }

    // The capture. It reads as nothing captured (a Get head, no fields,
    // EUC-JP) until a "POST" is stored whole, and never changes after that,
    // so it may be read at any time; the run reads it once the thread ended.
    [[nodiscard]] const CaptureResult& result() const;

    // Stores `result` as the capture, unless a cancel came first or a
    // capture is stored already; false then, and nothing changes. The
    // listener stores the "POST" it took; whatever stands in for the
    // listener thread (a test's) stores through here too.
    bool store_result(CaptureResult result);

    // Asks the thread to end: it closes every connection and the listening
    // socket and stores nothing. Safe from any thread, at any time, also
    // before the thread has started or made its socket. False when a capture
    // was already being stored (the thread then ends on its own with it).
    bool cancel();
    [[nodiscard]] bool cancelled() const;

    // The listening socket while the listener holds one, else -1. To look
    // at only: a cancel goes through cancel(), never through the socket.
    [[nodiscard]] int listen_socket() const { return listen_socket_.load(); }
    // The port actually listened on, once listening (0 before, and when
    // setting up failed): the port the OS picked for port 0.
    [[nodiscard]] std::int32_t listening_port() const { return listening_port_.load(); }
    // Why setting up the listening socket failed (an errno value), or 0.
    [[nodiscard]] int setup_error() const { return setup_error_.load(); }

private:
    // The listener thread's side of the job (listener.cpp).
    friend class CaptureListener;

    // An eventfd the listener polls, written by cancel() (-1 when none
    // could be made: the listener then looks at cancelled() now and then).
    [[nodiscard]] int wake_fd() const { return wake_fd_; }
    void publish_listening(int socket, std::int32_t port);
    void publish_closed();
    void publish_setup_error(int error);

    enum class Phase : int {
        Running,
        Cancelled,
        Storing,  // the result is being written
        Captured,
    };

    const CaptureRequest request_;
    CaptureResult result_;
    std::atomic<Phase> phase_{Phase::Running};
    int wake_fd_ = -1;
    std::atomic<int> listen_socket_{-1};
    std::atomic<std::int32_t> listening_port_{0};
    std::atomic<int> setup_error_{0};
};

}  // namespace postori
