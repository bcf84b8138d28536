// SPDX-License-Identifier: GPL-3.0-or-later
// One whole capture over loopback: a capture listens on a port the OS picks, a
// client thread connects and sends one form POST of 1 KB, 100 KB or 999,999
// bytes (the whole receive buffer: the request ends exactly at its last
// byte), and the time from the last byte sent to the end of the listener
// thread is measured: the last receives, taking the body apart, the vote over
// every value and closing the sockets. The peak memory of the process
// (VmHWM) is reported with each size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "capture/listener.h"
#include "capture/request_head.h"
#include "tests/support/form_request.h"
#include "tests/support/loopback_client.h"
#include "tests/support/running_capture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// "山田 花子、東京都千代田区丸の内 " percent-encoded as UTF-8, as a browser
// sends it.
const std::string VALUE_UNIT =
    "%E5%B1%B1%E7%94%B0+%E8%8A%B1%E5%AD%90%E3%80%81%E6%9D%B1%E4%BA%AC%E9%83%BD%E5%8D%83%E4%BB%A3%E7%94%B0%E5%8C%BA"
    "%E4%B8%B8%E3%81%AE%E5%86%85+";
constexpr std::size_t FIELD_BYTES = 1000;

// One field of exactly `size` bytes (its leading '&' included): Japanese
// text, padded with ASCII.
std::string field(std::size_t index, std::size_t size) {
    std::string out = (index == 0 ? "f" : "&f") + std::to_string(index) + "=";
    while (out.size() + VALUE_UNIT.size() <= size) {
        out += VALUE_UNIT;
    }
    out.append(size - std::min(size, out.size()), 'x');
    return out;
}

// A form POST of exactly `total` bytes whose content-length names all of its
// body.
std::string form_post(std::size_t total) {
    std::string head;
    std::size_t body_length = total;
    for (int round = 0; round < 3; ++round) {
        head = postori::test_support::post_head(body_length);
        body_length = total - head.size();
    }
    const std::size_t fields = std::max<std::size_t>(1, body_length / FIELD_BYTES);
    std::string body;
    for (std::size_t k = 0; k + 1 < fields; ++k) {
        body += field(k, FIELD_BYTES);
    }
    body += field(fields - 1, body_length - body.size());
    return head + body;
}

std::int64_t peak_resident_bytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) {
            return std::stoll(line.substr(6)) * 1024;
        }
    }
    return 0;
}

void BM_CaptureRun(benchmark::State& state) {
    const std::string request = form_post(static_cast<std::size_t>(state.range(0)));
    postori::RequestHead head;
    if (request.size() != static_cast<std::size_t>(state.range(0)) ||
        postori::parse_request_head(request.c_str(), static_cast<std::int32_t>(request.size()), head) == 0 ||
        static_cast<std::size_t>(head.head_length + head.content_length) != request.size()) {
        state.SkipWithError("the request is not what it should be");
        return;
    }
    std::size_t fields = 0;
    for (auto _ : state) {
        postori::test_support::RunningCapture capture;
        const std::int32_t port = capture.port();
        if (port == 0) {
            state.SkipWithError("the capture could not listen");
            break;
        }

        std::atomic<bool> sent{false};
        Clock::time_point last_byte_sent;
        std::thread client([&] {
            postori::test_support::LoopbackClient connection(port);
            sent = connection.send(request);
            last_byte_sent = Clock::now();
        });
        const bool ended = capture.ended(10s);
        const Clock::time_point thread_ended = Clock::now();
        client.join();
        if (!ended || !sent || capture.job->result().head.method != postori::RequestMethod::Post) {
            state.SkipWithError("the POST was not captured");
            break;
        }
        fields = capture.job->result().fields.size();
        state.SetIterationTime(std::max(std::chrono::duration<double>(thread_ended - last_byte_sent).count(), 0.0));
    }
    state.counters["request_bytes"] = static_cast<double>(request.size());
    state.counters["fields"] = static_cast<double>(fields);
    state.counters["peak_rss"] = benchmark::Counter(static_cast<double>(peak_resident_bytes()),
                                                    benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
}
// A fixed number of captures per size: every capture leaves its connection
// in TIME_WAIT for a minute, and letting the library run tens of thousands of
// them used up the loopback's ephemeral ports (connect then fails with
// EADDRNOTAVAIL).
BENCHMARK(BM_CaptureRun)
    ->Iterations(200)
    ->Arg(1024)
    ->Arg(100 * 1024)
    ->Arg(static_cast<std::int64_t>(postori::RECEIVE_BUFFER_SIZE - 1))
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
