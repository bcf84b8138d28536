// What the converter fuzz targets share: the one-shot conversion of a text,
// fast kernels and all, must equal its conversion by the character rules
// alone (codec/convert_plain.h) and the same text fed to a streaming
// converter in pieces, with the split points drawn from the input itself;
// after every convert() only a short tail of what was fed may be pending;
// reset() empties the converter for reuse. Short inputs are also tried
// repeated past a chunk's length, so that chunk ends fall among their
// sequences and the kernels get long runs to take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codec/convert.h"
#include "codec/convert_plain.h"

namespace postori::fuzz {

// Piece lengths from a hash of the input: some very short, so that splits
// fall inside multi-byte sequences, some spanning chunks.
class Splits {
public:
    Splits(const std::uint8_t* data, std::size_t size, std::size_t short_limit) : short_limit_(short_limit) {
        for (std::size_t k = 0; k < size; ++k) {
            state_ = (state_ ^ data[k]) * 0x100000001B3u;
        }
    }
    std::size_t next(std::size_t left) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        const std::size_t length = (state_ & 3) == 0 ? (state_ >> 2) % short_limit_ : (state_ >> 2) % 1500;
        return length < left ? length : left;
    }

private:
    std::uint64_t state_ = 0xCBF29CE484222325u;
    std::size_t short_limit_;
};

inline void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Checks `Converter` on `text` against `whole`, its one-shot conversion; at
// most `max_pending` source units may stay in `input` after a convert().
template <typename Converter, typename Text, typename Output>
void check_in_pieces(const Text& text, const Output& whole, Splits& splits, std::size_t max_pending) {
    Converter converter;
    std::size_t fed = 0;
    do {
        const std::size_t take = splits.next(text.size() - fed);
        converter.input.append(text, fed, take);
        fed += take;
        converter.convert();
        const std::size_t pending = converter.input.size();
        require(pending <= max_pending && pending <= fed && text.compare(fed - pending, pending, converter.input) == 0);
    } while (fed < text.size());
    converter.finish();
    require(converter.input.empty() && converter.output == whole);

    converter.input = Text(1, 'x');
    converter.reset();
    require(converter.input.empty() && converter.output.empty());
    converter.input = text;
    converter.convert();
    converter.finish();
    require(converter.output == whole);
}

// Runs `check(text)` on the text and, when it is short, on it repeated past
// two chunks.
template <typename Text, typename Check>
void check_also_repeated(const Text& text, Check check) {
    check(text);
    if (!text.empty() && text.size() < 2 * CHUNK_UNITS) {
        Text repeated;
        while (repeated.size() < 2 * CHUNK_UNITS + 50) {
            repeated += text;
        }
        check(repeated);
    }
}

}  // namespace postori::fuzz
