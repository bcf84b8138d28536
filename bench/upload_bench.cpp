// SPDX-License-Identifier: GPL-3.0-or-later
// A large multipart/form-data upload captured over loopback, as a form with
// a file input sends it: a text field, a file of N megabytes, and two text
// fields after it. A client thread sends the request in 256 KiB pieces from
// one buffer; the time from its first byte to the end of the listener thread
// and the process's peak memory (VmHWM, this program does nothing else) are
// printed, with whether every field arrived.
//
//   upload_bench [--megabytes N] [--rounds R]   (defaults: 100 MB, 3 rounds)
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>

#include "capture/listener.h"
#include "tests/support/form_request.h"
#include "tests/support/loopback_client.h"
#include "tests/support/running_capture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace support = postori::test_support;

constexpr std::string_view BOUNDARY = "----WebKitFormBoundaryq7XbN0aZ4kLp2mYs";
constexpr std::size_t PIECE = 256 * 1024;

std::int64_t peak_resident_kib() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) {
            return std::stoll(line.substr(6));
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint64_t megabytes = 100;
    int rounds = 3;
    for (int k = 1; k + 1 < argc; k += 2) {
        const std::string_view option = argv[k];
        if (option == "--megabytes") {
            megabytes = std::strtoull(argv[k + 1], nullptr, 10);
        } else if (option == "--rounds") {
            rounds = std::atoi(argv[k + 1]);
        }
    }
    const std::uint64_t file_size = megabytes * 1'000'000;
    const std::string before = support::multipart_part(BOUNDARY, support::form_data_headers("shimei"), "山田 花子") +
                               "--" + std::string(BOUNDARY) + "\r\n" +
                               support::form_data_headers("attach", "video.mp4", "video/mp4") + "\r\n\r\n";
    const std::string after = "\r\n" + support::multipart_part(BOUNDARY, support::form_data_headers("memo"), "後の欄") +
                              support::multipart_part(BOUNDARY, support::form_data_headers("last"), "x") +
                              support::multipart_close(BOUNDARY);
    const std::uint64_t body_length = before.size() + file_size + after.size();
    const std::string head = support::multipart_head(BOUNDARY, body_length);
    // File contents that hold CR LF and dashes, so the delimiter search
    // meets near misses as in real files.
    std::string piece(PIECE, '\0');
    for (std::size_t k = 0; k < piece.size(); ++k) {
        piece[k] = static_cast<char>("--\r\n\x89PNGabc\0"[k % 12]);
    }

    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        support::RunningCapture capture;
        if (capture.port() == 0) {
            std::fprintf(stderr, "upload_bench: the capture could not listen\n");
            return 1;
        }
        Clock::time_point first_byte;
        std::thread client([&] {
            support::LoopbackClient connection(capture.port());
            first_byte = Clock::now();
            connection.send(head + before);
            for (std::uint64_t sent = 0; sent < file_size; sent += PIECE) {
                connection.send(std::string_view(piece).substr(0, std::min<std::uint64_t>(PIECE, file_size - sent)));
            }
            connection.send(after);
        });
        const bool ended = capture.ended(120s);
        const Clock::time_point thread_ended = Clock::now();
        client.join();
        const postori::CaptureResult& result = capture.job->result();
        const bool whole = ended && result.complete && result.fields.size() == 4 &&
                           result.fields[1].file.size == file_size && result.fields[3].value == "x";
        failures += whole ? 0 : 1;
        const double seconds = std::chrono::duration<double>(thread_ended - first_byte).count();
        const double total = static_cast<double>(head.size() + body_length);
        std::printf("round %d: %.1f MB in %.3f s, %.0f MB/s, fields %zu, %s, peak RSS %lld KiB\n", round + 1,
                    total / 1e6, seconds, total / 1e6 / seconds, result.fields.size(),
                    whole ? "all fields" : "FIELDS MISSING", static_cast<long long>(peak_resident_kib()));
    }
    return failures == 0 ? 0 : 1;
}
