// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/loopback_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace postori::test_support {
namespace {

// How long one attempt of connect_retrying waits to be accepted. On the
// loopback interface an attempt the kernel has not dropped is accepted in
// microseconds; one it dropped would wait a second for its retransmission.
constexpr timespec CONNECT_ATTEMPT = {0, 250'000};

sockaddr_in loopback_address(std::int32_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

}  // namespace

LoopbackClient::LoopbackClient(std::int32_t port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const sockaddr_in address = loopback_address(port);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

LoopbackClient LoopbackClient::connect_retrying(std::int32_t port, std::chrono::milliseconds limit) {
    const sockaddr_in address = loopback_address(port);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    LoopbackClient client;
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            break;
        }
        // Many short connections a second leave many client ports waiting out
        // TIME_WAIT; let the next capture's listening port share them.
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        int error = 0;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            error = errno;
            pollfd polled{fd, POLLOUT, 0};
            if (error == EINPROGRESS && ::ppoll(&polled, 1, &CONNECT_ATTEMPT, nullptr) == 1) {
                socklen_t length = sizeof error;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            }
        }
        if (error == 0) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            client.fd_ = fd;
            break;
        }
        ::close(fd);
        if (error != EINPROGRESS) {
            break;  // refused: nothing listens any more
        }
    }
    return client;
}

LoopbackClient::~LoopbackClient() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

LoopbackClient::LoopbackClient(LoopbackClient&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

LoopbackClient& LoopbackClient::operator=(LoopbackClient&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool LoopbackClient::send(std::string_view bytes) {
    if (fd_ < 0) {
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;  // a timer's signal, e.g. libFuzzer's
        }
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void LoopbackClient::finish_sending() {
    if (fd_ >= 0) {
        ::shutdown(fd_, SHUT_WR);
    }
}

bool LoopbackClient::closed_without_answer(std::chrono::milliseconds patience) {
    pollfd polled{fd_, POLLIN, 0};
    if (fd_ < 0 || ::poll(&polled, 1, static_cast<int>(patience.count())) != 1) {
        return false;
    }
    char byte;
    const ssize_t got = ::recv(fd_, &byte, 1, 0);
    return got == 0 || (got < 0 && errno == ECONNRESET);
}

bool send_to_loopback(std::int32_t port, std::string_view request) {
    LoopbackClient client(port);
    return client.send(request);
}

std::int32_t free_loopback_port() {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback_address(0);
    socklen_t length = sizeof address;
    std::int32_t port = 0;
    if (probe >= 0 && ::bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    if (probe >= 0) {
        ::close(probe);
    }
    return port;
}

}  // namespace postori::test_support
