// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/listener.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/form_request.h"
#include "tests/support/loopback_client.h"
#include "tests/support/running_capture.h"

namespace postori {
namespace {

using namespace std::chrono_literals;
using test_support::LoopbackClient;
using test_support::post_request;
using testing::ElementsAre;
using testing::Pair;

// Long enough for any machine to do what the test waits for; only the cancel
// tests hold the thread to the capture run's 500 ms.
constexpr auto PATIENCE = 10s;
constexpr auto CANCEL_WAIT = 500ms;

// A client connected to the capture's port; it waits PATIENCE for the
// listener to close the connection.
class Client : public LoopbackClient {
public:
    explicit Client(std::int32_t port) : LoopbackClient(port) {}
    bool closed_without_answer() { return LoopbackClient::closed_without_answer(PATIENCE); }
};

// The listener listens with a backlog of 1: clients that connect faster than
// it accepts wait for the kernel's retransmissions (a second or more). Tests
// that open several connections give it a moment between them.
void pace() {
    std::this_thread::sleep_for(3ms);
}

// One capture running on a port the OS picks (or the one given).
class Capture : public test_support::RunningCapture {
public:
    explicit Capture(std::int32_t port = 0) : RunningCapture(port) {}
    explicit Capture(CaptureRequest request) : RunningCapture(std::move(request)) {}
    bool ended() { return RunningCapture::ended(PATIENCE); }

    std::vector<std::pair<std::string, std::string>> fields() const {
        std::vector<std::pair<std::string, std::string>> out;
        for (const FormField& field : job->result().fields) {
            out.emplace_back(field.name, field.value);
        }
        return out;
    }
};

TEST(CaptureListener, GetIsDroppedThenPostIsCaptured) {
    // Called on the listener thread; read once it has ended.
    std::vector<std::string> ignored;
    CaptureRequest request{0, "127.0.0.1"};
    request.on_ignored = [&ignored](std::string_view method, std::string_view target) {
        ignored.push_back(std::string(method) + " " + std::string(target));
    };
    Capture capture(request);
    ASSERT_NE(capture.port(), 0);
    Client get(capture.port());
    ASSERT_TRUE(get.send("GET /form.html HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    EXPECT_TRUE(get.closed_without_answer());
    pace();

    Client form(capture.port());
    ASSERT_TRUE(form.send(post_request("a=1&b&=3&d=x=y&name=%E5%B1%B1+%26%3D")));
    ASSERT_TRUE(capture.ended());
    EXPECT_TRUE(form.closed_without_answer());
    EXPECT_EQ(capture.job->result().head.method, RequestMethod::Post);
    EXPECT_THAT(capture.fields(),
                ElementsAre(Pair("a", "1"), Pair("", "3"), Pair("d", "x=y"), Pair("name", "%E5%B1%B1+%26%3D")));
    EXPECT_TRUE(capture.job->result().complete);
    EXPECT_THAT(ignored, ElementsAre("GET /form.html"));
}

TEST(CaptureListener, IdleConnectionsDoNotHoldTheCaptureBack) {
    Capture capture;
    Client idle(capture.port());
    pace();
    Client half_head(capture.port());
    ASSERT_TRUE(half_head.send("POST / HTTP/1.1\r\nContent-Len"));
    pace();
    Client form(capture.port());
    ASSERT_TRUE(form.send(post_request("x=1")));
    ASSERT_TRUE(capture.ended());
    EXPECT_THAT(capture.fields(), ElementsAre(Pair("x", "1")));
    EXPECT_TRUE(idle.closed_without_answer());
    EXPECT_TRUE(half_head.closed_without_answer());
}

TEST(CaptureListener, MoreIdleConnectionsThanTheBound) {
    Capture capture;
    std::vector<std::unique_ptr<Client>> idle;
    for (std::size_t k = 0; k < MAX_CONNECTIONS + 6; ++k) {
        idle.push_back(std::make_unique<Client>(capture.port()));
        pace();
    }
    Client form(capture.port());
    ASSERT_TRUE(form.send(post_request("x=1")));
    ASSERT_TRUE(capture.ended());
    EXPECT_THAT(capture.fields(), ElementsAre(Pair("x", "1")));
}

// A flood at the bound: slow drippers hold every place but the form's, and a
// new idle connection comes every few milliseconds, each one making room,
// while the form's head is in and its body is still on its way. The order of
// eviction is connection_to_evict's own test; here, the listener keeps to it.
TEST(CaptureListener, PostWaitingForItsBodyOutlivesAFlood) {
    constexpr int FLOOD = 60;  // new connections before the body, ~3 ms apart
    Capture capture;
    const auto connect = [&] { return LoopbackClient::connect_retrying(capture.port(), PATIENCE); };
    std::vector<LoopbackClient> drippers;
    for (std::size_t k = 0; k + 1 < MAX_CONNECTIONS; ++k) {
        drippers.push_back(connect());
        ASSERT_TRUE(drippers.back().send("POST /slow HTTP/1.1\r\nX-Drip: ")) << k;
    }
    const std::string body = "name=%8ER%93c&late=1";
    LoopbackClient form = connect();
    ASSERT_TRUE(form.send(test_support::post_head(body.size())));

    std::vector<LoopbackClient> flood;
    for (int k = 0; k < FLOOD; ++k) {
        for (LoopbackClient& dripper : drippers) {
            dripper.send("a");  // false once evicted
        }
        flood.push_back(connect());
        ASSERT_TRUE(flood.back().connected()) << k;
        pace();
    }
    // The flood did make room: its first connection is closed by now.
    EXPECT_TRUE(flood.front().closed_without_answer(PATIENCE));
    ASSERT_FALSE(capture.thread->wait_for(0ms));

    ASSERT_TRUE(form.send(body));
    ASSERT_TRUE(capture.ended());
    EXPECT_THAT(capture.fields(), ElementsAre(Pair("name", "%8ER%93c"), Pair("late", "1")));
}

TEST(CaptureListener, DrippedPost) {
    Capture capture;
    Client form(capture.port());
    const std::string request = post_request("first=%41%42&second=c+d");
    for (std::size_t k = 0; k < request.size(); k += 3) {
        ASSERT_TRUE(form.send(std::string_view(request).substr(k, 3)));
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(capture.ended());
    EXPECT_THAT(capture.fields(), ElementsAre(Pair("first", "%41%42"), Pair("second", "c+d")));
}

// How a POST ends when the announced length does not match what comes.
TEST(CaptureListener, BodyLengths) {
    struct Case {
        const char* label;
        std::string head;
        std::string body;
        bool half_close;  // the client closes its side after sending
        std::vector<std::pair<std::string, std::string>> fields;
    };
    const Case cases[] = {
        {"peer_closes_before_announced_length",
         "POST / HTTP/1.1\r\nContent-Length: 100\r\n\r\n",
         "a=1&b=2",
         true,
         {{"a", "1"}, {"b", "2"}}},
        {"no_content_length_head_alone", "POST / HTTP/1.1\r\nHost: x\r\n\r\n", "", false, {}},
        {"negative_length", "POST / HTTP/1.1\r\nContent-Length: -5\r\n\r\n", "", false, {}},
        {"huge_length_waits_for_close",
         "POST / HTTP/1.1\r\nContent-Length: 99999999999999\r\n\r\n",
         "k=v",
         true,
         {{"k", "v"}}},
        {"bytes_beyond_length_belong_to_body",
         "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\n",
         "a=1&b=2",
         true,
         {{"a", "1"}, {"b", "2"}}},
        {"body_cut_at_carriage_return",
         "POST / HTTP/1.1\r\nContent-Length: 8\r\n\r\n",
         "a=1\r\nb=2",
         false,
         {{"a", "1"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Capture capture;
        Client form(capture.port());
        ASSERT_TRUE(form.send(c.head + c.body));
        if (c.half_close) {
            form.finish_sending();
        }
        ASSERT_TRUE(capture.ended());
        EXPECT_EQ(capture.job->result().head.method, RequestMethod::Post);
        EXPECT_EQ(capture.fields(), c.fields);
    }
}

// The capture carries the vote over the fields it took (the vote's rules are
// the vote's own tests): 山田太郎 and あいう in Shift_JIS beside a 7-bit value.
TEST(CaptureListener, CaptureCarriesTheVoteOverItsFields) {
    Capture capture;
    Client client(capture.port());
    ASSERT_TRUE(client.send(post_request("a=%8ER%93c%91%BE%98Y&b=%82%A0%82%A2%82%A4&mail=x%40y")));
    ASSERT_TRUE(capture.ended());
    EXPECT_EQ(capture.job->result().code_choice, CodeChoice::ShiftJis);
}

TEST(CaptureListener, OnlyTheFirstThousandPieces) {
    std::string body;
    for (int k = 1; k <= 1005; ++k) {
        body.append(k > 1 ? "&" : "").append("f=").append(std::to_string(k));
    }
    Capture capture;
    Client form(capture.port());
    ASSERT_TRUE(form.send(post_request(body)));
    ASSERT_TRUE(capture.ended());
    ASSERT_EQ(capture.job->result().fields.size(), static_cast<std::size_t>(MAX_FIELDS));
    EXPECT_EQ(capture.job->result().fields.back().value, "1000");
}

TEST(CaptureListener, BodyOverTheBufferIsCutAtIt) {
    Capture capture;
    std::string body = "a=1&big=";
    body.append(1'200'000 - body.size(), 'x');
    const std::string request = post_request(body);
    const std::size_t head_length = request.size() - body.size();
    Client form(capture.port());
    std::thread sender([&] { form.send(request); });
    ASSERT_TRUE(capture.ended());
    sender.join();
    ASSERT_THAT(capture.fields(), testing::SizeIs(2));
    EXPECT_EQ(capture.job->result().fields[1].value.size(), RECEIVE_BUFFER_SIZE - 1 - head_length - 8);
    EXPECT_FALSE(capture.job->result().complete);
}

// A multipart body streams through however large it is: a file far past
// the receive buffer is counted, and the fields after it are kept.
TEST(CaptureListener, MultipartStreamsPastTheBuffer) {
    constexpr std::string_view boundary = "----WebKitFormBoundary0123456789abcdef";
    constexpr std::size_t file_size = 5'000'000;
    const std::string before =
        test_support::multipart_part(boundary, test_support::form_data_headers("shimei"), "\xBB\xB3\xC5\xC4");
    const std::string file_start = "--" + std::string(boundary) + "\r\n" +
                                   test_support::form_data_headers("f", "a.bin", "application/octet-stream") +
                                   "\r\n\r\n";
    const std::string after = "\r\n" +
                              test_support::multipart_part(boundary, test_support::form_data_headers("after"), "x") +
                              test_support::multipart_close(boundary);
    const std::uint64_t length = before.size() + file_start.size() + file_size + after.size();
    const std::string chunk(1 << 16, '-');

    for (const bool whole : {true, false}) {
        SCOPED_TRACE(whole ? "whole" : "cut by the peer");
        Capture capture;
        Client form(capture.port());
        std::thread sender([&] {
            form.send(test_support::multipart_head(boundary, length) + before + file_start);
            for (std::size_t sent = 0; sent < file_size; sent += chunk.size()) {
                form.send(std::string_view(chunk).substr(0, std::min(chunk.size(), file_size - sent)));
            }
            if (whole) {
                form.send(after);
            }
            form.finish_sending();
        });
        ASSERT_TRUE(capture.ended());
        sender.join();
        const CaptureResult& result = capture.job->result();
        EXPECT_EQ(result.content_type, "multipart/form-data");
        EXPECT_EQ(result.complete, whole);
        ASSERT_EQ(result.fields.size(), whole ? 3U : 2U);
        EXPECT_EQ(result.fields[0].value, "\xBB\xB3\xC5\xC4");
        EXPECT_EQ(result.fields[1].kind, FieldKind::File);
        EXPECT_EQ(result.fields[1].file.size, file_size);
        EXPECT_TRUE(result.fields[1].value.empty());
        if (whole) {
            EXPECT_EQ(result.fields[2].name, "after");
        }
    }
}

TEST(CaptureListener, PortAboveRangeUsesLow16Bits) {
    std::int32_t free_port = 0;
    {
        Capture probe;  // a port the OS gives out, free again once the probe ends
        free_port = probe.port();
        probe.job->cancel();
        ASSERT_TRUE(probe.ended());
    }
    Capture capture(free_port + 65536);
    EXPECT_EQ(capture.port(), free_port);
    capture.job->cancel();
    EXPECT_TRUE(capture.ended());
}

TEST(CaptureListener, TwoCapturesInARowOnTheSamePort) {
    std::int32_t port = 0;
    for (int round = 0; round < 2; ++round) {
        Capture capture(port);
        ASSERT_NE(capture.port(), 0) << "round " << round << ": " << std::strerror(capture.job->setup_error());
        port = capture.port();
        Client form(port);
        ASSERT_TRUE(form.send(post_request("round=" + std::to_string(round))));
        ASSERT_TRUE(capture.ended());
        EXPECT_THAT(capture.fields(), ElementsAre(Pair("round", std::to_string(round))));
    }
}

TEST(CaptureListener, PortInUseEndsTheThread) {
    Capture first;
    Capture second(first.port());
    EXPECT_TRUE(second.ended());
    EXPECT_NE(second.job->setup_error(), 0);
    EXPECT_EQ(second.job->result().head.method, RequestMethod::Get);
    first.job->cancel();
    EXPECT_TRUE(first.ended());
}

// The listener binds the numeric IPv4 or IPv6 address the request names;
// one it cannot read fails the set-up. (Without one it binds the IPv4
// wildcard, which tests leave alone: they listen on loopback only.)
TEST(CaptureListener, BindsTheRequestedAddress) {
    struct Case {
        const char* address;
        const char* bound;  // as getsockname reports it; nullptr: set-up fails
    };
    const Case cases[] = {
        {"127.0.0.1", "127.0.0.1"},
        {"::1", "::1"},
        {"localhost", nullptr},
        {"127.1", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(valid_bind_address(c.address), c.bound != nullptr);
        Capture capture(CaptureRequest{0, c.address});
        if (c.bound == nullptr) {
            EXPECT_TRUE(capture.ended());
            EXPECT_EQ(capture.job->setup_error(), EINVAL);
            continue;
        }
        if (capture.port() == 0 && capture.job->setup_error() == EADDRNOTAVAIL) {
            continue;  // no IPv6 on this machine
        }
        ASSERT_NE(capture.port(), 0) << std::strerror(capture.job->setup_error());
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        ASSERT_EQ(::getsockname(capture.job->listen_socket(), reinterpret_cast<sockaddr*>(&address), &length), 0);
        char text[INET6_ADDRSTRLEN] = "";
        const void* bytes = address.ss_family == AF_INET6
                                ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6&>(address).sin6_addr)
                                : static_cast<const void*>(&reinterpret_cast<const sockaddr_in&>(address).sin_addr);
        EXPECT_STREQ(::inet_ntop(address.ss_family, bytes, text, sizeof text), c.bound);
        capture.job->cancel();
        EXPECT_TRUE(capture.ended());
    }
}

// --- cancel ---

TEST(CaptureCancel, BeforeTheThreadStarts) {
    auto job = std::make_shared<CaptureJob>(CaptureRequest{0});
    EXPECT_TRUE(job->cancel());
    CaptureThread thread(job);
    EXPECT_TRUE(thread.wait_for(CANCEL_WAIT));
    EXPECT_EQ(job->listening_port(), 0);
    EXPECT_EQ(job->result().head.method, RequestMethod::Get);
}

TEST(CaptureCancel, RightAfterStartWhateverTheThreadHasDone) {
    for (int round = 0; round < 50; ++round) {
        auto job = std::make_shared<CaptureJob>(CaptureRequest{0});
        CaptureThread thread(job);
        if (round % 2 == 1) {
            std::this_thread::yield();
        }
        EXPECT_TRUE(job->cancel());
        ASSERT_TRUE(thread.wait_for(CANCEL_WAIT)) << "round " << round;
        EXPECT_EQ(job->result().head.method, RequestMethod::Get);
    }
}

TEST(CaptureCancel, WhileWaitingForAConnection) {
    Capture capture;
    ASSERT_NE(capture.port(), 0);
    EXPECT_GE(capture.job->listen_socket(), 0);
    EXPECT_TRUE(capture.job->cancel());
    EXPECT_TRUE(capture.thread->wait_for(CANCEL_WAIT));
    EXPECT_EQ(capture.job->listen_socket(), -1);
    EXPECT_EQ(capture.job->result().head.method, RequestMethod::Get);
    EXPECT_TRUE(capture.job->result().fields.empty());
}

TEST(CaptureCancel, WhileReceivingClosesTheConnections) {
    Capture capture;
    Client form(capture.port());
    ASSERT_TRUE(form.send("POST / HTTP/1.1\r\nContent-Length: 100\r\n\r\na=1"));
    pace();
    Client idle(capture.port());
    std::this_thread::sleep_for(50ms);  // let the listener take both in
    EXPECT_TRUE(capture.job->cancel());
    EXPECT_TRUE(capture.thread->wait_for(CANCEL_WAIT));
    EXPECT_EQ(capture.job->result().head.method, RequestMethod::Get);
    EXPECT_TRUE(capture.job->result().fields.empty());
    EXPECT_TRUE(form.closed_without_answer());
    EXPECT_TRUE(idle.closed_without_answer());
}

TEST(CaptureCancel, AfterTheCaptureChangesNothing) {
    Capture capture;
    Client form(capture.port());
    ASSERT_TRUE(form.send(post_request("a=1")));
    ASSERT_TRUE(capture.ended());
    EXPECT_FALSE(capture.job->cancel());
    EXPECT_EQ(capture.job->result().head.method, RequestMethod::Post);
}

TEST(CaptureCancel, JobOutlivesTheRunsReference) {
    // The run may drop its job and thread after a cancel; the thread keeps
    // the job alive until it has ended.
    std::weak_ptr<CaptureJob> watched;
    {
        auto job = std::make_shared<CaptureJob>(CaptureRequest{0});
        watched = job;
        CaptureThread thread(job);
        job->cancel();
    }
    const auto deadline = std::chrono::steady_clock::now() + PATIENCE;
    while (!watched.expired() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(watched.expired());
}

}  // namespace
}  // namespace postori
