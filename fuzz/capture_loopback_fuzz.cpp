// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the traffic of a capture, over real loopback connections: a
// capture listens on a port the OS picks, the input is sent to it over one
// to four connections in chunks, every connection is half-closed, and the
// capture must then end on its own when a "POST" head was sent, and else
// close every connection and go on waiting (or, when the input says so, end
// within the capture run's 500 ms wait when cancelled). It must never send a
// byte back, and what it captured must be what one of the "POST" connections
// carried.
//
// Input layout: the first byte steers the sending, the rest is the traffic.
//   bits 0-2  chunk size: whole, 1, 2, 3, 7, 16, 100 or 1000 bytes
//   bit 3     the connections take turns chunk by chunk (else each sends
//             all its bytes before the next one connects)
//   bit 4     an extra connection that sends nothing is opened first
//   bit 5     without a "POST", the capture is cancelled at the end
// The traffic is split at its 0xFF bytes (a byte no Japanese text code uses)
// into the data of up to MAX_SENDERS connections; further 0xFF bytes stay in
// the last one's data.
//
// A capture that no input has ended or cancelled serves the next input too:
// it holds no connection by then (every one was seen closed by it), which is
// the state a new capture starts in, so each input is still judged on its
// own, without a thread and a socket set up for each.
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "capture/form_body.h"
#include "capture/form_reader.h"
#include "capture/listener.h"
#include "capture/request_head.h"
#include "capture/vote.h"
#include "tests/support/loopback_client.h"
#include "tests/support/running_capture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::size_t MAX_INPUT_BYTES = 1 << 14;
constexpr std::size_t MAX_SENDERS = 3;
constexpr std::size_t CHUNK_SIZES[] = {0, 1, 2, 3, 7, 16, 100, 1000};
constexpr char SEPARATOR = '\xFF';
// Chunk boundaries after which the sender pauses briefly, so that small
// chunks really arrive as separate receives (at line ends: at_line_end), and
// how long.
constexpr int PAUSED_CHUNKS = 8;
constexpr auto PAUSE = 30us;
// Most chunks a connection sends its data in; the rest goes at once.
constexpr int MAX_CHUNKS = 64;

// How long the listener may take to close every connection once all is sent
// and half-closed, to end after a "POST", and to take a connection (only
// reached on a fault); and the capture run's wait after a cancel.
constexpr auto SETTLE_LIMIT = 1s;
constexpr auto END_LIMIT = 5s;
constexpr auto CANCEL_WAIT = 500ms;
constexpr auto CONNECT_LIMIT = 5s;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "capture_loopback_fuzz: %s\n", what);
    std::abort();
}

struct Sender {
    std::string_view data;
    postori::test_support::LoopbackClient client;
    std::size_t sent = 0;
    int chunks = 0;
    bool broken = false;  // refused, or closed by the listener before all was sent
    bool closed_by_listener = false;
    std::vector<std::size_t> boundaries;  // counts of bytes sent after each send()
};

// Connects to the capture; false when the connection was refused.
bool connect_to(Sender& sender, std::int32_t port) {
    sender.client = postori::test_support::LoopbackClient::connect_retrying(port, CONNECT_LIMIT);
    return sender.client.connected();
}

// Sends up to `chunk` more bytes (all that is left for 0, and once
// MAX_CHUNKS chunks have been sent).
void send_chunk(Sender& sender, std::size_t chunk) {
    const bool rest = chunk == 0 || sender.chunks == MAX_CHUNKS;
    const std::size_t end = rest ? sender.data.size() : std::min(sender.data.size(), sender.sent + chunk);
    ++sender.chunks;
    while (!sender.broken && sender.sent < end) {
        const ssize_t sent =
            ::send(sender.client.fd(), sender.data.data() + sender.sent, end - sender.sent, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;  // libFuzzer's timer
        }
        if (sent <= 0) {
            sender.broken = true;  // the capture ended, or dropped this request
            break;
        }
        sender.sent += static_cast<std::size_t>(sent);
        sender.boundaries.push_back(sender.sent);
    }
}

// Whether a sender's last chunk ended at a line end (a CR or LF among the
// last bytes sent or the next one), where a receive boundary matters most to
// the listener: a head completes only with its blank line.
bool at_line_end(const Sender& sender) {
    const std::size_t from = sender.sent >= 3 ? sender.sent - 3 : 0;
    const std::size_t to = std::min(sender.data.size(), sender.sent + 1);
    return sender.data.substr(from, to - from).find_first_of("\r\n") != std::string_view::npos;
}

// Waits until the listener has closed every connection or `until`; a byte
// received from it is a fault.
void watch_closes(std::vector<std::unique_ptr<Sender>>& senders, Clock::time_point until) {
    for (;;) {
        std::vector<pollfd> polled;
        std::vector<Sender*> open;
        for (auto& sender : senders) {
            if (sender->client.connected() && !sender->closed_by_listener) {
                polled.push_back({sender->client.fd(), POLLIN, 0});
                open.push_back(sender.get());
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (open.empty() || left <= 0) {
            return;
        }
        if (::poll(polled.data(), polled.size(), static_cast<int>(left)) < 0 && errno != EINTR) {
            fail("poll failed");
        }
        for (std::size_t k = 0; k < polled.size(); ++k) {
            if (polled[k].revents == 0) {
                continue;
            }
            char byte;
            const ssize_t got = ::recv(polled[k].fd, &byte, 1, MSG_DONTWAIT);
            if (got > 0) {
                fail("the capture answered a request");
            }
            if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                open[k]->closed_by_listener = true;
            }
        }
    }
}

// What a capture of one connection's bytes, cut after `length` of them,
// yields: the body runs from the end of the head to the first zero byte.
// The fields of the first `length` bytes of `data`, read by the body's
// type as the listener reads it (a urlencoded body to its first zero byte).
std::vector<postori::FormField> fields_of(std::string_view data, std::size_t length, const postori::RequestHead& head) {
    std::string buffer(data.substr(0, length));
    const auto body = static_cast<std::size_t>(head.head_length);
    return postori::read_whole_body(head.content_type, buffer.data() + body, buffer.size() - body).fields;
}

bool same_fields(const std::vector<postori::FormField>& a, const std::vector<postori::FormField>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.name == y.name && x.value == y.value && x.kind == y.kind && x.file.filename == y.file.filename &&
               x.file.content_type == y.file.content_type && x.file.size == y.file.size;
    });
}

// Whether `captured` is a capture of `sender`'s bytes. The listener stops
// receiving at the first receive after which the request is complete, or at
// the end of the data; receives end at the sender's send boundaries, which
// the kernel may merge, so every boundary from the request's completion on is
// a candidate, and every byte count after it when none of those fits.
bool captured_from(const postori::CaptureResult& captured, const Sender& sender, const postori::RequestHead& head) {
    if (captured.head.head_length != head.head_length || captured.head.content_length != head.content_length) {
        return false;
    }
    // A multipart body also ends at its closing delimiter, before its
    // announced length: any length may be where it ended.
    const bool streamed = postori::body_kind(head.content_type) == postori::BodyKind::Multipart;
    const auto complete = [&](std::size_t length) {
        return length >= static_cast<std::size_t>(head.head_length) &&
               (streamed || postori::request_complete(head, static_cast<std::int32_t>(length)));
    };
    std::vector<std::size_t> candidates;
    for (const std::size_t boundary : sender.boundaries) {
        if (complete(boundary)) {
            candidates.push_back(boundary);
        }
    }
    candidates.push_back(sender.sent);
    for (const std::size_t length : candidates) {
        if (same_fields(captured.fields, fields_of(sender.data, length, head))) {
            return true;
        }
    }
    for (std::size_t length = static_cast<std::size_t>(head.head_length); length <= sender.sent; ++length) {
        if (complete(length) && same_fields(captured.fields, fields_of(sender.data, length, head))) {
            return true;
        }
    }
    return false;
}

// The capture inputs are sent to: kept from one input to the next until an
// input ends it (a "POST") or cancels it.
std::unique_ptr<postori::test_support::RunningCapture> running;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Short sleeps as asked for, not stretched by the default 50 us slack.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > MAX_INPUT_BYTES) {
        return 0;
    }
    const std::uint8_t steering = data[0];
    const std::size_t chunk = CHUNK_SIZES[steering & 7];
    const bool take_turns = (steering & 8) != 0;
    const bool idle_first = (steering & 16) != 0;
    const bool cancel_at_end = (steering & 32) != 0;

    // The senders first, then the idle connection if any.
    std::vector<std::unique_ptr<Sender>> connections;
    std::string_view traffic(reinterpret_cast<const char*>(data) + 1, size - 1);
    while (connections.size() + 1 < MAX_SENDERS && traffic.find(SEPARATOR) != std::string_view::npos) {
        const std::size_t cut = traffic.find(SEPARATOR);
        connections.push_back(std::make_unique<Sender>());
        connections.back()->data = traffic.substr(0, cut);
        traffic.remove_prefix(cut + 1);
    }
    connections.push_back(std::make_unique<Sender>());
    connections.back()->data = traffic;
    const std::size_t sender_count = connections.size();
    if (idle_first) {
        connections.push_back(std::make_unique<Sender>());
    }

    if (!running) {
        running = std::make_unique<postori::test_support::RunningCapture>();
    }
    // Whatever this input does, the next one gets a new capture unless this
    // one is seen to leave it waiting with no connection.
    std::unique_ptr<postori::test_support::RunningCapture> capture = std::move(running);
    postori::CaptureJob& job = *capture->job;
    postori::CaptureThread& thread = *capture->thread;
    const std::int32_t port = capture->port();
    if (port == 0) {
        fail("the capture could not listen");
    }

    // A refused connection is only right once the capture has ended.
    const auto connect_or_fail = [&](Sender& sender) {
        if (!connect_to(sender, port)) {
            if (!thread.wait_for(END_LIMIT)) {
                fail("a running capture refused a connection, or did not take it within 5 s");
            }
            sender.broken = true;
        }
    };
    if (idle_first) {
        connect_or_fail(*connections.back());
    }
    int pauses = 0;
    const auto pause = [&](bool wanted) {
        if (wanted && chunk != 0 && pauses < PAUSED_CHUNKS) {
            ++pauses;
            std::this_thread::sleep_for(PAUSE);
        }
    };
    const auto unsent = [](const Sender& sender) { return !sender.broken && sender.sent < sender.data.size(); };
    if (take_turns) {
        for (std::size_t k = 0; k < sender_count; ++k) {
            connect_or_fail(*connections[k]);
        }
        for (bool more = true; more;) {
            more = false;
            bool line_end = false;
            for (std::size_t k = 0; k < sender_count; ++k) {
                if (unsent(*connections[k])) {
                    send_chunk(*connections[k], chunk);
                    more = more || unsent(*connections[k]);
                    line_end = line_end || at_line_end(*connections[k]);
                }
            }
            pause(line_end);
        }
    } else {
        for (std::size_t k = 0; k < sender_count; ++k) {
            connect_or_fail(*connections[k]);
            while (unsent(*connections[k])) {
                send_chunk(*connections[k], chunk);
                pause(at_line_end(*connections[k]));
            }
        }
    }
    for (const auto& connection : connections) {
        connection->client.finish_sending();
    }

    // Which connections carried a "POST" the listener must capture: its head
    // complete within the bytes sent.
    std::vector<postori::RequestHead> heads(sender_count);
    bool post_sent = false;
    for (std::size_t k = 0; k < sender_count; ++k) {
        const Sender& sender = *connections[k];
        const std::string copy(sender.data.substr(0, sender.sent));
        postori::RequestHead head;
        if (postori::parse_request_head(copy.c_str(), static_cast<std::int32_t>(copy.size()), head) != 0 &&
            head.method == postori::RequestMethod::Post) {
            heads[k] = head;
            post_sent = true;
        }
    }

    watch_closes(connections, Clock::now() + SETTLE_LIMIT);
    if (post_sent) {
        if (!thread.wait_for(END_LIMIT)) {
            fail("a POST was sent and the capture did not end");
        }
    } else {
        if (thread.wait_for(0ms)) {
            fail("the capture ended without a POST and without a cancel");
        }
        if (cancel_at_end) {
            job.cancel();
            if (!thread.wait_for(CANCEL_WAIT)) {
                fail("a cancelled capture did not end within 500 ms");
            }
        }
    }
    watch_closes(connections, Clock::now() + END_LIMIT);
    const postori::CaptureResult& captured = job.result();
    for (const auto& connection : connections) {
        if (!connection->closed_by_listener && !connection->broken) {
            fail(post_sent || cancel_at_end ? "a connection was left open after the capture ended"
                                            : "a connection with nothing more to come was left open");
        }
    }

    if (!post_sent) {
        if (captured.head.method == postori::RequestMethod::Post || !captured.fields.empty()) {
            fail("a capture without a POST reads as one");
        }
        if (!cancel_at_end) {
            running = std::move(capture);  // waiting, and holding no connection
        }
        return 0;
    }
    if (captured.head.method != postori::RequestMethod::Post) {
        fail("a POST was sent and none was captured");
    }
    bool matched = false;
    for (std::size_t k = 0; k < sender_count && !matched; ++k) {
        matched = heads[k].method == postori::RequestMethod::Post && captured_from(captured, *connections[k], heads[k]);
    }
    if (!matched) {
        fail("the captured fields are not those of any POST sent");
    }
    if (captured.code_choice != postori::vote_over_fields(captured.fields)) {
        fail("the code choice is not the vote over the captured fields");
    }
    return 0;
}
