// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the two conversions to Shift_JIS (code page 932) next to
// glibc iconv and ICU converting the same text, with the ratios printed at
// the end; also of the two steps of the UTF-8 one on their own (UTF-8 to
// UTF-16, UTF-16 to Shift_JIS), and of both conversions over the same text
// cut into short form values, one call per value.
//
// Input: a few MB of Japanese prose from the shared text corpus
// (<repo>/../shared/data/corpus, read at start-up), or generated Japanese
// text when the corpus is absent. The text is first reduced to what code
// page 932 can hold (a round trip through iconv), so that the converters
// replace next to nothing; the EUC-JP input is made from it with iconv
// (EUC-JP-MS, whose rows 89-92 carry the IBM extensions). EUC-JP-MS writes a
// few IBM extension characters as three-byte JIS X 0212 codes, which ours
// turns into '?' where the others convert them; the output check printed at
// the end shows the few bytes this costs.
//
// Every converter gets its input as one block and writes into an output
// buffer sized once beforehand; ours returns a new std::string per call, as
// its callers use it.
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "codec/convert.h"
#include "tests/support/iconv.h"

namespace {

constexpr std::size_t INPUT_BYTES = 4 << 20;

// The corpus files taken, in order, an equal share from the start of each.
constexpr std::array<const char*, 7> CORPUS_FILES = {
    "aozora-bunko.txt",        "manpages-ja.txt", "debian-docs-ja.txt",          "gimp-help-ja.txt",
    "libreoffice-help-ja.txt", "jglue-crowd.txt", "wikipedia-jsquad-ud-gsd.txt",
};

// ICU's code page 932 converter: "windows-31j" is an alias of
// ibm-943_P15A-2003, the table with the NEC and IBM extension rows. ICU has
// no EUC-JP-MS; its "EUC-JP" (euc-jp-2007) reads the same JIS X 0208 text.
constexpr const char* ICU_SJIS = "windows-31j";

std::filesystem::path corpus_dir() {
    // <repo>/bench/this file -> <repo>/../shared/data/corpus
    const std::filesystem::path repo = std::filesystem::path(__FILE__).parent_path().parent_path();
    return repo.parent_path() / "shared" / "data" / "corpus";
}

// Up to `limit` bytes from the start of `file`, cut after the last full line.
std::string read_head(const std::filesystem::path& file, std::size_t limit) {
    std::ifstream in(file, std::ios::binary);
    std::string text(limit, '\0');
    in.read(text.data(), static_cast<std::streamsize>(limit));
    text.resize(static_cast<std::size_t>(in.gcount()));
    const std::size_t last_line_end = text.rfind('\n');
    text.resize(last_line_end == std::string::npos ? 0 : last_line_end + 1);
    return text;
}

std::string corpus_text() {
    std::string text;
    for (const char* name : CORPUS_FILES) {
        const std::filesystem::path file = corpus_dir() / name;
        if (std::filesystem::is_regular_file(file)) {
            text += read_head(file, INPUT_BYTES / CORPUS_FILES.size() + 1);
        }
    }
    return text;
}

// Japanese-looking text when there is no corpus: sentences drawn from a
// fixed vocabulary by a fixed-seed generator, with some ASCII and
// half-width katakana in between, as in form values.
std::string generated_text() {
    static constexpr std::array<const char*, 24> words = {
        "山田",     "太郎",       "です",       "東京都", "千代田区", "の",     "に",       "を",
        "申し込み", "ありがとう", "ございます", "住所",   "電話番号", "メール", "カタカナ", "漢字",
        "、",       "。",         "１２３",     "ﾃｽﾄ",    " 1-2-3 ",  "（株）", "高橋",     "※",
    };
    std::string text;
    std::uint32_t state = 12345;
    while (text.size() < INPUT_BYTES) {
        state = state * 1103515245U + 12345U;
        text += words[(state >> 16) % words.size()];
        if ((state >> 8) % 17 == 0) {
            text += '\n';
        }
    }
    return text;
}

// The whole of `input` converted by iconv, skipping any input byte it
// cannot convert. Used only to prepare the inputs.
std::string iconv_all(const char* from, const char* to, const std::string& input) {
    postori::test_support::Iconv conversion(to, from);
    if (!conversion.ok()) {
        throw std::runtime_error(std::string("iconv has no ") + from + " -> " + to);
    }
    return conversion.convert_skipping(input);
}

// The text cut into short values, as a form's fields are: 2 to 24
// characters each, whole characters only.
std::vector<std::string> cut_into_values(const std::string& text, std::size_t (*character_length)(unsigned char)) {
    constexpr std::size_t VALUE_TEXT_BYTES = 256 << 10;
    std::vector<std::string> values;
    std::size_t pos = 0;
    for (std::size_t characters = 2; pos < text.size() && pos < VALUE_TEXT_BYTES; characters = characters % 24 + 2) {
        std::size_t end = pos;
        for (std::size_t k = 0; k < characters && end < text.size(); ++k) {
            end += character_length(static_cast<unsigned char>(text[end]));
        }
        end = std::min(end, text.size());
        values.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return values;
}

std::size_t utf8_character_length(unsigned char first) {
    return first < 0xC0 ? 1 : first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
}

std::size_t euc_character_length(unsigned char first) {
    return first == 0x8F ? 3 : first >= 0x8E ? 2 : 1;
}

struct Inputs {
    std::string utf8;
    std::string euc;
    std::u16string utf16;  // the UTF-8 text as UTF-16, for the second step alone
    std::vector<std::string> utf8_values;
    std::vector<std::string> euc_values;
    bool from_corpus = false;
};

const Inputs& inputs() {
    static const Inputs prepared = [] {
        Inputs in;
        std::string text = corpus_text();
        in.from_corpus = !text.empty();
        if (!in.from_corpus) {
            text = generated_text();
        }
        in.utf8 = iconv_all("CP932", "UTF-8", iconv_all("UTF-8", "CP932", text));
        in.euc = iconv_all("UTF-8", "EUC-JP-MS", in.utf8);
        in.utf16 = postori::utf8_to_utf16(in.utf8);
        in.utf8_values = cut_into_values(in.utf8, utf8_character_length);
        in.euc_values = cut_into_values(in.euc, euc_character_length);
        return in;
    }();
    return prepared;
}

// --- the converters, one call over a whole input ---------------------------

// iconv converting into the caller's buffer (see Iconv::convert_skipping_into):
// an unconvertible byte is skipped, as ours would replace it.
class IconvConverter {
public:
    IconvConverter(const char* from, const char* to) : conversion_(to, from) {
        if (!conversion_.ok()) {
            throw std::runtime_error(std::string("iconv has no ") + from + " -> " + to);
        }
    }
    std::size_t convert(const std::string& input, std::string& out) {
        return conversion_.convert_skipping_into(input, out);
    }

private:
    postori::test_support::Iconv conversion_;
};

class IcuConverter {
public:
    IcuConverter(const char* from, const char* to) {
        UErrorCode status = U_ZERO_ERROR;
        from_ = ucnv_open(from, &status);
        to_ = ucnv_open(to, &status);
        if (U_FAILURE(status)) {
            throw std::runtime_error(std::string("ICU has no ") + from + " -> " + to + ": " + u_errorName(status));
        }
    }
    ~IcuConverter() {
        ucnv_close(from_);
        ucnv_close(to_);
    }
    IcuConverter(const IcuConverter&) = delete;
    IcuConverter& operator=(const IcuConverter&) = delete;

    std::size_t convert(const std::string& input, std::string& out) {
        char* target = out.data();
        const char* source = input.data();
        UChar* pivot_source = pivot_.data();
        UChar* pivot_target = pivot_.data();
        UErrorCode status = U_ZERO_ERROR;
        ucnv_convertEx(to_, from_, &target, out.data() + out.size(), &source, input.data() + input.size(),
                       pivot_.data(), &pivot_source, &pivot_target, pivot_.data() + pivot_.size(), true, true, &status);
        if (U_FAILURE(status)) {
            throw std::runtime_error(std::string("ICU conversion failed: ") + u_errorName(status));
        }
        return static_cast<std::size_t>(target - out.data());
    }

    const char* target_name() const {
        UErrorCode status = U_ZERO_ERROR;
        return ucnv_getName(to_, &status);
    }

private:
    UConverter* from_ = nullptr;
    UConverter* to_ = nullptr;
    std::array<UChar, 8192> pivot_{};
};

// Output room for a conversion to Shift_JIS: never more bytes than the
// input has (two EUC-JP or 2-3 UTF-8 bytes give two bytes), plus slack.
std::string output_buffer(const std::string& input) {
    return std::string(input.size() + 64, '\0');
}

// --- benchmarks -------------------------------------------------------------

enum class Source { Euc, Utf8 };

const std::string& input_of(Source source) {
    return source == Source::Euc ? inputs().euc : inputs().utf8;
}

void finish(benchmark::State& state, const std::string& input, std::size_t output_bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    state.counters["out_bytes"] = static_cast<double>(output_bytes);
}

void bench_ours(benchmark::State& state, Source source) {
    const std::string& input = input_of(source);
    std::size_t output_bytes = 0;
    for (auto _ : state) {
        const std::string out = source == Source::Euc ? postori::euc_to_sjis(input) : postori::utf8_to_sjis(input);
        benchmark::DoNotOptimize(out.data());
        output_bytes = out.size();
    }
    finish(state, input, output_bytes);
}

// The two steps of utf8_to_sjis on their own; bytes of their own input.
void bench_utf8_to_utf16(benchmark::State& state) {
    const std::string& input = inputs().utf8;
    std::size_t output_units = 0;
    for (auto _ : state) {
        const std::u16string out = postori::utf8_to_utf16(input);
        benchmark::DoNotOptimize(out.data());
        output_units = out.size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
    state.counters["out_units"] = static_cast<double>(output_units);
}

void bench_utf16_to_sjis(benchmark::State& state) {
    const std::u16string& input = inputs().utf16;
    std::size_t output_bytes = 0;
    for (auto _ : state) {
        const std::string out = postori::utf16_to_sjis(input);
        benchmark::DoNotOptimize(out.data());
        output_bytes = out.size();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size() * sizeof(char16_t)));
    state.counters["out_bytes"] = static_cast<double>(output_bytes);
}

// One call per short value: what a capture of many fields costs.
void bench_ours_values(benchmark::State& state, Source source) {
    const std::vector<std::string>& values = source == Source::Euc ? inputs().euc_values : inputs().utf8_values;
    std::size_t input_bytes = 0;
    for (const std::string& value : values) {
        input_bytes += value.size();
    }
    for (auto _ : state) {
        for (const std::string& value : values) {
            const std::string out = source == Source::Euc ? postori::euc_to_sjis(value) : postori::utf8_to_sjis(value);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input_bytes));
    state.counters["values"] = static_cast<double>(values.size());
}

void bench_iconv(benchmark::State& state, Source source) {
    const std::string& input = input_of(source);
    IconvConverter converter(source == Source::Euc ? "EUC-JP-MS" : "UTF-8", "CP932");
    std::string out = output_buffer(input);
    std::size_t output_bytes = 0;
    for (auto _ : state) {
        output_bytes = converter.convert(input, out);
        benchmark::DoNotOptimize(out.data());
    }
    finish(state, input, output_bytes);
}

void bench_icu(benchmark::State& state, Source source) {
    const std::string& input = input_of(source);
    IcuConverter converter(source == Source::Euc ? "EUC-JP" : "UTF-8", ICU_SJIS);
    std::string out = output_buffer(input);
    std::size_t output_bytes = 0;
    for (auto _ : state) {
        output_bytes = converter.convert(input, out);
        benchmark::DoNotOptimize(out.data());
    }
    finish(state, input, output_bytes);
}

void register_benchmarks() {
    for (const auto& [prefix, source] :
         {std::pair{"euc_to_sjis", Source::Euc}, std::pair{"utf8_to_sjis", Source::Utf8}}) {
        const std::string name = prefix;
        benchmark::RegisterBenchmark((name + "/ours").c_str(), bench_ours, source)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((name + "/iconv").c_str(), bench_iconv, source)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((name + "/icu").c_str(), bench_icu, source)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((name + "/ours_values").c_str(), bench_ours_values, source)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("utf8_to_utf16/ours", bench_utf8_to_utf16)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("utf16_to_sjis/ours", bench_utf16_to_sjis)->Unit(benchmark::kMillisecond);
}

// Passes everything to the usual display and keeps each benchmark's
// bytes/second (the median when there are repetitions).
class RateRecorder : public benchmark::BenchmarkReporter {
public:
    explicit RateRecorder(benchmark::BenchmarkReporter* display) : display_(display) {}

    bool ReportContext(const Context& context) override { return display_->ReportContext(context); }

    void ReportRuns(const std::vector<Run>& runs) override {
        display_->ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rate = run.counters.find("bytes_per_second");
            if (run.error_occurred || rate == run.counters.end()) {
                continue;
            }
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (median || run.run_type == Run::RT_Iteration) {
                rates_[run.run_name.function_name] = rate->second.value;
            }
        }
    }

    void Finalize() override { display_->Finalize(); }

    const std::map<std::string, double>& rates() const { return rates_; }

private:
    benchmark::BenchmarkReporter* display_;
    std::map<std::string, double> rates_;
};

// How far another converter's output is from ours: the converters pick
// different codes for some duplicate characters, so a few differences are
// expected, but not different lengths.
std::string difference(const std::string& ours, const std::string& other) {
    if (ours.size() != other.size()) {
        return "length " + std::to_string(other.size()) + " vs ours " + std::to_string(ours.size());
    }
    std::size_t differing = 0;
    for (std::size_t k = 0; k < ours.size(); ++k) {
        differing += ours[k] != other[k] ? 1 : 0;
    }
    return differing == 0 ? "identical" : std::to_string(differing) + " bytes differ";
}

void print_output_check() {
    for (const Source source : {Source::Euc, Source::Utf8}) {
        const std::string& input = input_of(source);
        const std::string ours = source == Source::Euc ? postori::euc_to_sjis(input) : postori::utf8_to_sjis(input);
        IconvConverter iconv_converter(source == Source::Euc ? "EUC-JP-MS" : "UTF-8", "CP932");
        IcuConverter icu_converter(source == Source::Euc ? "EUC-JP" : "UTF-8", ICU_SJIS);
        std::string by_iconv = output_buffer(input);
        by_iconv.resize(iconv_converter.convert(input, by_iconv));
        std::string by_icu = output_buffer(input);
        by_icu.resize(icu_converter.convert(input, by_icu));
        std::printf("%s output: iconv %s, ICU %s\n", source == Source::Euc ? "euc_to_sjis" : "utf8_to_sjis",
                    difference(ours, by_iconv).c_str(), difference(ours, by_icu).c_str());
    }
}

void print_summary(const std::map<std::string, double>& rates) {
    const Inputs& in = inputs();
    std::printf("\ninput: %s, UTF-8 %zu bytes, EUC-JP %zu bytes; %zu / %zu short values\n",
                in.from_corpus ? "shared corpus" : "generated text (corpus not found)", in.utf8.size(), in.euc.size(),
                in.utf8_values.size(), in.euc_values.size());
    print_output_check();
    std::printf("ICU converters: EUC-JP / UTF-8 -> %s (%s); MB = 10^6 bytes of input\n", ICU_SJIS,
                IcuConverter("UTF-8", ICU_SJIS).target_name());
    std::printf("%-14s %12s %12s %12s %10s %10s\n", "conversion", "ours MB/s", "iconv MB/s", "ICU MB/s", "ours/iconv",
                "ours/ICU");
    for (const char* prefix : {"euc_to_sjis", "utf8_to_sjis"}) {
        const std::string name = prefix;
        const auto rate = [&](const char* who) {
            const auto it = rates.find(name + "/" + who);
            return it == rates.end() ? 0.0 : it->second;
        };
        const double ours = rate("ours");
        const double iconv_rate = rate("iconv");
        const double icu = rate("icu");
        if (ours == 0.0 || iconv_rate == 0.0 || icu == 0.0) {
            continue;  // filtered out
        }
        std::printf("%-14s %12.1f %12.1f %12.1f %10.2f %10.2f\n", prefix, ours / 1e6, iconv_rate / 1e6, icu / 1e6,
                    ours / iconv_rate, ours / icu);
    }
    // Ours alone: the conversions over short values, and the two steps of
    // the UTF-8 one (MB of their own input: UTF-16 counts two bytes a unit).
    for (const char* name :
         {"euc_to_sjis/ours_values", "utf8_to_sjis/ours_values", "utf8_to_utf16/ours", "utf16_to_sjis/ours"}) {
        const auto it = rates.find(name);
        if (it != rates.end()) {
            std::printf("%-24s %12.1f\n", name, it->second / 1e6);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    register_benchmarks();
    // The library keeps ownership of its default display reporter.
    RateRecorder recorder(benchmark::CreateDefaultDisplayReporter());
    benchmark::RunSpecifiedBenchmarks(&recorder);
    print_summary(recorder.rates());
    benchmark::Shutdown();
    return 0;
}
