// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as UTF-8 text, converted to UTF-16 at once, by the rules alone
// and in pieces: at most a five-byte tail may stay pending and no byte gives
// more than one unit. The direct conversion to Shift_JIS, fast and by the
// rules alone, must equal the Shift_JIS conversion of the UTF-16 result.
#include <string>

#include "fuzz/converter_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    postori::fuzz::limit_input(argc, argv, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace postori::fuzz;
    size = size < MAX_SOURCE_UNITS ? size : MAX_SOURCE_UNITS;
    Splits splits(data, size, 7);
    check_also_repeated(std::string(reinterpret_cast<const char*>(data), size), splits, [&](const std::string& text) {
        const std::string copy = text;
        const std::u16string whole = postori::utf8_to_utf16(text);
        require(text == copy && whole.size() <= text.size());
        require(postori::plain::utf8_to_utf16(text) == whole);
        const std::string sjis = postori::utf8_to_sjis(text);
        require(sjis == postori::utf16_to_sjis(whole) && sjis == postori::plain::utf8_to_sjis(text) && text == copy);
        check_in_pieces<postori::Utf8ToUtf16Converter>(text, whole, splits, 5, postori::utf8_to_utf16);
        // Repeated, both outputs pass the end of a chunk.
        return sjis.size() < whole.size() ? sjis.size() : whole.size();
    });
    return 0;
}
