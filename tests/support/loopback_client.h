// SPDX-License-Identifier: GPL-3.0-or-later
// A client on the loopback address, as tests, fuzz targets and benchmarks
// talk to a capture: connect, send, half-close, and see the connection
// closed without an answer.
#pragma once

#include <chrono>
#include <cstdint>
#include <string_view>

namespace postori::test_support {

class LoopbackClient {
public:
    // Not connected.
    LoopbackClient() = default;
    // Connects to `port` on 127.0.0.1; connected() tells whether it did.
    explicit LoopbackClient(std::int32_t port);

    // Connects as a client that does not wait for the kernel's retries: the
    // capture listens with a backlog of 1, so an attempt made while two
    // connections wait to be accepted is dropped and retried only a second
    // later. An attempt not connected after a moment is made afresh, until
    // `limit`. Not connected when refused (nothing listens) or out of time.
    [[nodiscard]] static LoopbackClient connect_retrying(std::int32_t port, std::chrono::milliseconds limit);

    ~LoopbackClient();
    LoopbackClient(LoopbackClient&& other) noexcept;
    LoopbackClient& operator=(LoopbackClient&& other) noexcept;

    [[nodiscard]] bool connected() const { return fd_ >= 0; }
    [[nodiscard]] int fd() const { return fd_; }

    // Sends all of `bytes`; false once the peer has closed the connection
    // (or it was never connected).
    bool send(std::string_view bytes);

    // Closes the sending side: the peer reads the end of the request.
    void finish_sending();

    // True when the peer closes the connection within `patience` without
    // having sent a byte.
    [[nodiscard]] bool closed_without_answer(std::chrono::milliseconds patience);

private:
    int fd_ = -1;
};

// Connects to `port` on 127.0.0.1, sends `request` whole and closes; false
// when any of that fails.
bool send_to_loopback(std::int32_t port, std::string_view request);

// A port on 127.0.0.1 that was free a moment ago, for a listener whose port
// the test has to name itself (0 when none could be found).
[[nodiscard]] std::int32_t free_loopback_port();

}  // namespace postori::test_support
