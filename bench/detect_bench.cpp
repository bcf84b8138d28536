// Calls per second of detect_code on form values of the lengths a capture
// sees (8, 32 and 128 bytes) and on 8 KiB texts, in each of the three codes
// the capture votes on.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "codec/detect.h"

namespace {

const char* const sample_utf8 =
    "お問い合わせありがとうございます。東京都千代田区丸の内一丁目、山田太郎様のご注文について、"
    "担当者より改めてご連絡いたします。ｶﾀｶﾅの方もこちらへどうぞ。商品名：ノートパソコン（１５インチ）";

std::string encode(const std::string& utf8, const char* code) {
    iconv_t cd = iconv_open(code, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("iconv cannot convert to " + std::string(code));
    }
    std::string out(utf8.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t in_left = utf8.size();
    char* out_ptr = out.data();
    std::size_t out_left = out.size();
    iconv(cd, &in, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    out.resize(out.size() - out_left);
    return out;
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
