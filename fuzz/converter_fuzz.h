// SPDX-License-Identifier: GPL-3.0-or-later
// What the converter fuzz targets share: the one-shot conversion of a text,
// fast kernels and all, must equal its conversion by the character rules
// alone (codec/convert_plain.h) and the same text fed to a streaming
// converter in a few pieces, with the cut points drawn from the input itself;
// after every convert() only a short tail of what was fed may be pending;
// reset() empties the converter for reuse. Short inputs are also tried
// repeated until their conversion passes the end of a chunk (a share of them:
// see check_also_repeated), so that chunk ends fall among their sequences and
// the kernels get long runs to take.
//
// Inputs are kept short (MAX_SOURCE_UNITS): what a text longer than that
// could show, a chunk end among its sequences and long runs for the kernels,
// the repetition shows, and longer inputs would only make every check slower.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "codec/convert.h"
#include "codec/convert_plain.h"
#include "fuzz/fuzz_options.h"

namespace postori::fuzz {

// Most source units (bytes, or UTF-16 units) of one input.
inline constexpr std::size_t MAX_SOURCE_UNITS = 512;

// Sets libFuzzer's longest input to MAX_SOURCE_UNITS units of `unit_bytes`
// bytes (a target's LLVMFuzzerInitialize).
inline void limit_input(int* argc, char*** argv, std::size_t unit_bytes) {
    default_option(argc, argv, ("-max_len=" + std::to_string(MAX_SOURCE_UNITS * unit_bytes)).c_str());
}

// Most pieces a text is fed in.
inline constexpr std::size_t MAX_PIECES = 4;
// Units of a text a reset converter is tried on.
inline constexpr std::size_t PROBE_UNITS = 12;
// Source units per input that repeated texts cost on average.
inline constexpr std::size_t REPEAT_BUDGET = 150;

// Cut points from a hash of the input: one to MAX_PIECES pieces, a piece
// often only a few units long, so that cuts fall inside multi-byte
// sequences, else of any length.
class Splits {
public:
    Splits(const std::uint8_t* data, std::size_t size, std::size_t short_limit) : short_limit_(short_limit) {
        for (std::size_t k = 0; k < size; ++k) {
            state_ = (state_ ^ data[k]) * 0x100000001B3u;
        }
    }

    // The ends of the pieces of a text of `length` units, ascending; the
    // last is `length`.
    struct Cuts {
        std::array<std::size_t, MAX_PIECES> ends{};
        std::size_t count = 0;
    };
    Cuts cut(std::size_t length) {
        Cuts cuts;
        const std::size_t pieces = 1 + next() % MAX_PIECES;
        std::size_t end = 0;
        while (cuts.count + 1 < pieces) {
            const std::uint64_t r = next();
            const std::size_t left = length - end;
            end += (r & 1) != 0 ? (r >> 1) % (short_limit_ + 1) : (r >> 1) % (left + 1);
            end = end < length ? end : length;
            cuts.ends[cuts.count++] = end;
        }
        cuts.ends[cuts.count++] = length;
        return cuts;
    }

    // A number below `bound`.
    std::size_t draw(std::size_t bound) { return static_cast<std::size_t>(next() % bound); }

private:
    std::uint64_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }

    std::uint64_t state_ = 0xCBF29CE484222325u;
    std::size_t short_limit_;
};

inline void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Checks `Converter` on `text` against `whole`, its one-shot conversion by
// `once`; at most `max_pending` source units may stay in `input` after a
// convert(). After reset() the converter takes the start of `text` again.
template <typename Converter, typename Text, typename Output, typename Once>
void check_in_pieces(const Text& text, const Output& whole, Splits& splits, std::size_t max_pending, Once once) {
    Converter converter;
    converter.input.reserve(max_pending + text.size());
    converter.output.reserve(whole.size());
    std::size_t fed = 0;
    const Splits::Cuts cuts = splits.cut(text.size());
    for (std::size_t k = 0; k < cuts.count; ++k) {
        converter.input.append(text, fed, cuts.ends[k] - fed);
        fed = cuts.ends[k];
        converter.convert();
        const std::size_t pending = converter.input.size();
        require(pending <= max_pending && pending <= fed && text.compare(fed - pending, pending, converter.input) == 0);
    }
    converter.finish();
    require(converter.input.empty() && converter.output == whole);

    converter.input.assign(1, 'x');
    converter.reset();
    require(converter.input.empty() && converter.output.empty());
    const Text start = text.substr(0, PROBE_UNITS);
    converter.input = start;
    converter.convert();
    converter.finish();
    require(converter.output == once(start));
}

// Runs `check(text)` on the text and, when it is short, on it repeated until
// its conversion reaches past the end of a chunk; `check` returns the length
// of the conversion. A text that long costs a short input's check many times
// over, so it is tried on a share of the inputs (drawn by `splits`, so
// always the same ones) that makes it cost REPEAT_BUDGET source units per
// input on average: the runs stay fast, and chunk ends still fall among the
// sequences of millions of texts.
template <typename Text, typename Check>
void check_also_repeated(const Text& text, Splits& splits, Check check) {
    const std::size_t whole_units = check(text);
    if (text.empty() || text.size() >= CHUNK_UNITS || whole_units >= CHUNK_UNITS) {
        return;
    }
    // Copies enough for CHUNK_UNITS units of output, within bounds for a
    // text that converts to next to nothing.
    std::size_t copies = CHUNK_UNITS / (whole_units == 0 ? 1 : whole_units) + 1;
    const std::size_t most = 4 * CHUNK_UNITS / text.size() + 1;
    copies = copies < most ? copies : most;
    if (splits.draw(copies * text.size()) >= REPEAT_BUDGET) {
        return;
    }
    Text repeated;
    repeated.reserve(copies * text.size());
    for (std::size_t k = 0; k < copies; ++k) {
        repeated += text;
    }
    check(repeated);
}

}  // namespace postori::fuzz
