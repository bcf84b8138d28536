// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the request head parser and the percent-decoder on the kind
// of input a browser sends: a full head, and form values of Japanese text
// percent-encoded as UTF-8.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "capture/form_body.h"
#include "capture/form_reader.h"
#include "capture/request_head.h"

namespace {

// A head as a current browser sends it with a form submission.
const std::string browser_head =
    "POST /submit HTTP/1.1\r\n"
    "Host: 127.0.0.1:9250\r\n"
    "Connection: keep-alive\r\n"
    "Content-Length: 1234\r\n"
    "Cache-Control: max-age=0\r\n"
    "Origin: http://127.0.0.1:8000\r\n"
    "Content-Type: application/x-www-form-urlencoded\r\n"
    "Upgrade-Insecure-Requests: 1\r\n"
    "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/120.0.0.0 Safari/537.36\r\n"
    "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,image/avif,image/webp,*/*;q=0.8\r\n"
    "Referer: http://127.0.0.1:8000/form.html\r\n"
    "Accept-Encoding: gzip, deflate, br\r\n"
    "Accept-Language: ja,en-US;q=0.9,en;q=0.8\r\n"
    "\r\n";

void BM_ParseRequestHead(benchmark::State& state) {
    // The listener calls the parser on a zero-terminated buffer; give it the
    // head plus some body, as after the first receive.
    std::string received = browser_head + "name=%E5%B1%B1%E7%94%B0&memo=abc";
    const auto count = static_cast<std::int32_t>(received.size());
    postori::RequestHead head;
    for (auto _ : state) {
        benchmark::DoNotOptimize(postori::parse_request_head(received.c_str(), count, head));
        benchmark::DoNotOptimize(head);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_ParseRequestHead);

// A head still waiting for its blank line: the listener's case after every
// receive of a large head.
void BM_ParseRequestHeadIncomplete(benchmark::State& state) {
    std::string received = browser_head.substr(0, browser_head.size() - 2);
    const auto count = static_cast<std::int32_t>(received.size());
    postori::RequestHead head;
    for (auto _ : state) {
        benchmark::DoNotOptimize(postori::parse_request_head(received.c_str(), count, head));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_ParseRequestHeadIncomplete);

// "山田太郎です。東京都千代田区 1-2-3 " percent-encoded as UTF-8, repeated to
// the requested length of encoded bytes.
std::string encoded_value(std::size_t length) {
    const std::string unit =
        "%E5%B1%B1%E7%94%B0%E5%A4%AA%E9%83%8E%E3%81%A7%E3%81%99%E3%80%82"
        "%E6%9D%B1%E4%BA%AC%E9%83%BD%E5%8D%83%E4%BB%A3%E7%94%B0%E5%8C%BA+1-2-3+";
    std::string value;
    while (value.size() < length) {
        value += unit;
    }
    value.resize(length);
    // Do not end on a cut escape, which would stop decoding early.
    while (!value.empty() && value.find('%', value.size() >= 2 ? value.size() - 2 : 0) != std::string::npos) {
        value.pop_back();
    }
    return value;
}

void BM_PercentDecode(benchmark::State& state) {
    const std::string value = encoded_value(static_cast<std::size_t>(state.range(0)));
    std::vector<char> output(2 * value.size() + 1, '\0');
    const auto length = static_cast<std::int32_t>(value.size());
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            postori::percent_decode(output.data(), static_cast<std::uint32_t>(output.size()), value.data(), length));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * length);
}
BENCHMARK(BM_PercentDecode)->Arg(32)->Arg(1024)->Arg(64 * 1024);

// The multipart reader on a file's contents, fed as the listener feeds it
// (256 KiB at a time): bytes per second through the delimiter search and
// the counting of a file part.
void BM_MultipartFile(benchmark::State& state) {
    constexpr std::string_view boundary = "----WebKitFormBoundaryq7XbN0aZ4kLp2mYs";
    std::string piece(256 * 1024, '\0');
    for (std::size_t k = 0; k < piece.size(); ++k) {
        piece[k] = static_cast<char>("--\r\n\x89PNGabc\0"[k % 12]);
    }
    const std::string start = "--" + std::string(boundary) +
                              "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a.png\"\r\n"
                              "Content-Type: image/png\r\n\r\n";
    constexpr int PIECES = 64;  // 16 MiB per pass
    for (auto _ : state) {
        postori::MultipartReader reader(boundary);
        reader.feed(start);
        for (int k = 0; k < PIECES; ++k) {
            reader.feed(piece);
        }
        benchmark::DoNotOptimize(reader.finish("multipart/form-data"));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * PIECES *
                            static_cast<std::int64_t>(piece.size()));
}
BENCHMARK(BM_MultipartFile)->Unit(benchmark::kMillisecond);

}  // namespace
