// Any bytes as EUC-JP text: the one-shot conversion must equal the same text
// fed to a converter in pieces, with the split points drawn from the text
// itself; after every convert() at most a two-byte tail of what was fed may be
// pending, and no byte may give more than one output byte. Short inputs are
// also tried repeated past a chunk's length, so that chunk ends fall among
// their sequences.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "codec/convert.h"

namespace {

// Piece lengths from a hash of the input: some empty or one byte long, so
// that splits fall inside two- and three-byte sequences, some spanning chunks.
class Splits {
public:
    Splits(const std::uint8_t* data, std::size_t size) {
        for (std::size_t k = 0; k < size; ++k) {
            state_ = (state_ ^ data[k]) * 0x100000001B3u;
        }
    }
    std::size_t next(std::size_t left) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        const std::size_t length = (state_ & 3) == 0 ? (state_ >> 2) % 3 : (state_ >> 2) % 1500;
        return length < left ? length : left;
    }

private:
    std::uint64_t state_ = 0xCBF29CE484222325u;
};

void check(const std::string& text, Splits& splits) {
    const std::string copy = text;
    const std::string whole = postori::euc_to_sjis(text);
    if (text != copy || whole.size() > text.size()) {
        std::abort();
    }

    postori::EucToSjisConverter converter;
    std::size_t fed = 0;
    do {
        const std::size_t take = splits.next(text.size() - fed);
        converter.input.append(text, fed, take);
        fed += take;
        converter.convert();
        const std::size_t pending = converter.input.size();
        if (pending > 2 || pending > fed || text.compare(fed - pending, pending, converter.input) != 0) {
            std::abort();
        }
    } while (fed < text.size());
    converter.finish();
    if (!converter.input.empty() || converter.output != whole) {
        std::abort();
    }

    // Reused after reset, in one piece.
    converter.input = "x";
    converter.reset();
    if (!converter.input.empty() || !converter.output.empty()) {
        std::abort();
    }
    converter.input = text;
    converter.convert();
    converter.finish();
    if (converter.output != whole) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 100'000) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    Splits splits(data, size);
    check(text, splits);
    if (size > 0 && size < 2 * postori::CHUNK_UNITS) {
        std::string repeated;
        while (repeated.size() < 2 * postori::CHUNK_UNITS + 50) {
            repeated += text;
        }
        check(repeated, splits);
    }
    return 0;
}
