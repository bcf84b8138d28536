// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as UTF-16 text (little-endian pairs; an odd last byte is left
// out), converted at once, by the rules alone and in pieces: nothing stays
// pending after a convert(), and no unit gives more than two bytes.
#include <string>

#include "fuzz/converter_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    postori::fuzz::limit_input(argc, argv, 2);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace postori::fuzz;
    size = size < 2 * MAX_SOURCE_UNITS ? size : 2 * MAX_SOURCE_UNITS;
    std::u16string units;
    units.reserve(size / 2);
    for (std::size_t k = 0; k + 1 < size; k += 2) {
        units += static_cast<char16_t>(data[k] | (data[k + 1] << 8));
    }
    Splits splits(data, size, 3);
    check_also_repeated(units, splits, [&](const std::u16string& text) {
        const std::u16string copy = text;
        const std::string whole = postori::utf16_to_sjis(text);
        require(text == copy && whole.size() <= 2 * text.size());
        require(postori::plain::utf16_to_sjis(text) == whole);
        check_in_pieces<postori::Utf16ToSjisConverter>(text, whole, splits, 0, postori::utf16_to_sjis);
        return whole.size();
    });
    return 0;
}
