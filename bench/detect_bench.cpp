// SPDX-License-Identifier: GPL-3.0-or-later
// Calls per second of detect_code on form values of the lengths a capture
// sees (8, 32 and 128 bytes) and on 8 KiB texts, in each of the three codes
// the capture votes on.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "codec/detect.h"
#include "tests/support/iconv.h"

namespace {

const char* const sample_utf8 =
    "お問い合わせありがとうございます。東京都千代田区丸の内一丁目、山田太郎様のご注文について、"
    "担当者より改めてご連絡いたします。ｶﾀｶﾅの方もこちらへどうぞ。商品名：ノートパソコン（１５インチ）";

std::string encode(const std::string& utf8, const char* code) {
    postori::test_support::Iconv to_code(code, "UTF-8");
    if (!to_code.ok()) {
        throw std::runtime_error("iconv cannot convert to " + std::string(code));
    }
    return to_code.convert_skipping(utf8);
}

// The sample in `code`, repeated to at least `length` bytes and cut there.
std::string text_of(const char* code, std::size_t length) {
    const std::string unit = encode(sample_utf8, code);
    std::string text;
    while (text.size() < length) {
        text += unit;
    }
    text.resize(length);
    return text;
}

void detect(benchmark::State& state, const char* code) {
    const std::string text = text_of(code, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(postori::detect_code(text, 8192));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}

void BM_DetectShiftJis(benchmark::State& state) {
    detect(state, "CP932");
}
void BM_DetectEucJp(benchmark::State& state) {
    detect(state, "EUC-JP-MS");
}
void BM_DetectUtf8(benchmark::State& state) {
    detect(state, "UTF-8");
}

BENCHMARK(BM_DetectShiftJis)->Arg(8)->Arg(32)->Arg(128)->Arg(8192);
BENCHMARK(BM_DetectEucJp)->Arg(8)->Arg(32)->Arg(128)->Arg(8192);
BENCHMARK(BM_DetectUtf8)->Arg(8)->Arg(32)->Arg(128)->Arg(8192);

}  // namespace
