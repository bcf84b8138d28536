// SPDX-License-Identifier: GPL-3.0-or-later
// What a burst of simultaneous connections meets at the capture: a browser
// opens up to six to one host at once, and the capture listens with a backlog
// of 1. Each round makes BURST non-blocking connects to a running capture
// back to back, each sending a GET head once established, and times each
// until it is established and until the capture has read its head and closed
// it: a SYN the kernel dropped because the accept queue was full is only sent
// again after about a second (then two, then four), and a handshake it could
// not complete for the same reason waits for the next SYN-ACK. Prints every
// round and a summary.
//
//   connect_burst [--rounds N] [--burst K]        (defaults: 20 rounds of 6)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/running_capture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A connection not served by then counts as failed.
constexpr auto LIMIT = 20s;

// What a connection of the burst saw, in milliseconds from the burst's start
// (negative: never).
struct Timing {
    double established = -1;  // the client's connect completed
    double served = -1;       // the listener read the request and closed it
};

// Makes `count` non-blocking connects to `port` back to back; each sends a
// GET head as soon as it is established, which the capture drops by closing
// the connection once the head is in.
std::vector<Timing> burst(std::int32_t port, int count) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    constexpr std::string_view REQUEST = "GET /img.png HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

    std::vector<pollfd> polled;
    std::vector<Timing> timings(static_cast<std::size_t>(count));
    const Clock::time_point start = Clock::now();
    for (int k = 0; k < count; ++k) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0 ||
            (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS)) {
            std::perror("connect");
            std::exit(1);
        }
        polled.push_back({fd, POLLOUT, 0});
    }
    const auto elapsed_ms = [&] { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };
    for (int open = count; open > 0 && Clock::now() - start < LIMIT;) {
        if (::poll(polled.data(), polled.size(), 100) < 0 && errno != EINTR) {
            std::perror("poll");
            std::exit(1);
        }
        for (std::size_t k = 0; k < polled.size(); ++k) {
            const int fd = polled[k].fd;
            if (polled[k].revents == 0) {
                continue;
            }
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            if (polled[k].events == POLLOUT && error == 0) {
                timings[k].established = elapsed_ms();
                ::send(fd, REQUEST.data(), REQUEST.size(), MSG_NOSIGNAL);
                polled[k].events = POLLIN;
                continue;
            }
            if (error == 0) {
                char byte;
                if (::recv(fd, &byte, 1, MSG_DONTWAIT) > 0) {
                    continue;  // the capture never answers; not counted as served
                }
                timings[k].served = elapsed_ms();
            }
            polled[k].fd = -fd - 1;  // done: no longer watched
            --open;
        }
    }
    for (const pollfd& p : polled) {
        ::close(p.fd >= 0 ? p.fd : -p.fd - 1);
    }
    return timings;
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 20;
    int count = 6;
    for (int k = 1; k + 1 < argc; k += 2) {
        const std::string_view arg = argv[k];
        if (arg == "--rounds") {
            rounds = std::atoi(argv[k + 1]);
        } else if (arg == "--burst") {
            count = std::atoi(argv[k + 1]);
        }
    }
    if (rounds < 1 || count < 1) {
        std::fprintf(stderr, "usage: connect_burst [--rounds N] [--burst K]\n");
        return 2;
    }

    postori::test_support::RunningCapture capture;
    if (capture.port() == 0) {
        std::fprintf(stderr, "the capture could not listen\n");
        return 1;
    }
    std::printf(
        "%d rounds of %d simultaneous connects to a capture (backlog 1), each sending a GET head: ms until "
        "established / until the capture has read the head and closed the connection\n",
        rounds, count);
    int prompt = 0;   // served within 100 ms
    int delayed = 0;  // served after a retransmission
    int failed = 0;
    double worst = 0;
    for (int round = 0; round < rounds; ++round) {
        std::vector<Timing> timings = burst(capture.port(), count);
        std::sort(timings.begin(), timings.end(), [](const Timing& a, const Timing& b) { return a.served < b.served; });
        std::printf("  round %2d:", round + 1);
        for (const Timing& t : timings) {
            std::printf(" %6.1f/%-6.1f", t.established, t.served);
            prompt += t.served >= 0 && t.served < 100 ? 1 : 0;
            delayed += t.served >= 100 ? 1 : 0;
            failed += t.served < 0 ? 1 : 0;
            worst = std::max(worst, t.served);
        }
        std::printf("\n");
    }
    std::printf("served within 100 ms: %d of %d; later (after a retransmission): %d; never: %d; slowest: %.1f ms\n",
                prompt, rounds * count, delayed, failed, worst);
    return 0;
}
