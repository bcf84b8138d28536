// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes through both display decoders: the UTF-8 result must be exactly
// the UTF-8 form of the UTF-16 result, no result may hold a surrogate, one
// byte gives at most one unit, and the bytes 00-3F (never part of a pair)
// must all come out as themselves.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "codec/display.h"
#include "tests/support/utf8_reference.h"

using postori::reference::utf8_of;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view sjis(reinterpret_cast<const char*>(data), size);
    const std::u16string utf16 = postori::sjis_to_utf16(sjis);
    const std::string utf8 = postori::sjis_to_utf8(sjis);

    if (utf16.size() > size || (size > 0 && utf16.empty())) {
        std::abort();
    }
    std::size_t low_in = 0;
    for (std::size_t k = 0; k < size; ++k) {
        low_in += data[k] < 0x40 ? 1 : 0;
    }
    std::size_t low_out = 0;
    for (const char16_t c : utf16) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            std::abort();
        }
        low_out += c < 0x40 ? 1 : 0;
    }
    if (low_in != low_out) {
        std::abort();
    }
    if (utf8 != utf8_of(utf16)) {
        std::abort();
    }
    return 0;
}
