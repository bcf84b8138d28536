// Any bytes as UTF-16 text (little-endian pairs; an odd last byte is left
// out): the one-shot conversion must equal the same text fed to a converter
// in pieces, with the split points drawn from the input, nothing may stay
// pending after a convert(), and no unit may give more than two bytes. Short
// inputs are also tried repeated past a chunk's length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "codec/convert.h"

namespace {

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

void check(const std::u16string& text, Splits& splits) {
    const std::u16string copy = text;
    const std::string whole = postori::utf16_to_sjis(text);
    if (text != copy || whole.size() > 2 * text.size()) {
        std::abort();
    }

    postori::Utf16ToSjisConverter converter;
    std::size_t fed = 0;
    do {
        const std::size_t take = splits.next(text.size() - fed);
        converter.input.append(text, fed, take);
        fed += take;
        converter.convert();
        if (!converter.input.empty()) {
            std::abort();
        }
    } while (fed < text.size());
    converter.finish();
    if (converter.output != whole) {
        std::abort();
    }

    converter.input = u"x";
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
    if (size > 200'000) {
        return 0;
    }
    std::u16string text;
    text.reserve(size / 2);
    for (std::size_t k = 0; k + 1 < size; k += 2) {
        text += static_cast<char16_t>(data[k] | (data[k + 1] << 8));
    }
    Splits splits(data, size);
    check(text, splits);
    if (!text.empty() && text.size() < 2 * postori::CHUNK_UNITS) {
        std::u16string repeated;
        while (repeated.size() < 2 * postori::CHUNK_UNITS + 50) {
            repeated += text;
        }
        check(repeated, splits);
    }
    return 0;
}
