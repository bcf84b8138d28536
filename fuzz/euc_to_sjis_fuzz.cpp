// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as EUC-JP text, converted at once, by the rules alone and in
// pieces: at most a two-byte tail may stay pending, and no byte gives more
// than one output byte.
#include <string>

#include "fuzz/converter_fuzz.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    postori::fuzz::limit_input(argc, argv, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace postori::fuzz;
    size = size < MAX_SOURCE_UNITS ? size : MAX_SOURCE_UNITS;
    Splits splits(data, size, 3);
    check_also_repeated(std::string(reinterpret_cast<const char*>(data), size), splits, [&](const std::string& text) {
        const std::string copy = text;
        const std::string whole = postori::euc_to_sjis(text);
        require(text == copy && whole.size() <= text.size());
        require(postori::plain::euc_to_sjis(text) == whole);
        check_in_pieces<postori::EucToSjisConverter>(text, whole, splits, 2, postori::euc_to_sjis);
        return whole.size();
    });
    return 0;
}
