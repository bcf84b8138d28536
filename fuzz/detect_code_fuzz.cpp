// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes and any limit: detect_code must read nothing outside the text and
// always answer with one of its kinds, `sure` being Unknown or the guess.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "codec/detect.h"

namespace {

bool is_kind(postori::CodeKind kind) {
    const auto value = static_cast<std::int32_t>(kind);
    return value >= 0 && value <= 11 && value != 6;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first two bytes choose the limit (0-65535, with a bias towards the
    // text's own length); the rest is the text, in a buffer of exactly its size.
    if (size < 2) {
        return 0;
    }
    const std::uint32_t chosen = std::uint32_t{data[0]} << 8 | data[1];
    const std::size_t length = size - 2;
    const std::uint32_t limit = (chosen & 1) != 0 ? static_cast<std::uint32_t>(length) : chosen >> 1;
    auto text = std::make_unique<char[]>(length == 0 ? 1 : length);
    if (length > 0) {
        std::memcpy(text.get(), data + 2, length);
    }

    const postori::DetectResult result = postori::detect_code(std::string_view(text.get(), length), limit);

    if (!is_kind(result.guess) || !is_kind(result.sure)) {
        std::abort();
    }
    if (result.guess == postori::CodeKind::Unknown) {
        std::abort();
    }
    if (result.sure != postori::CodeKind::Unknown && result.sure != result.guess) {
        std::abort();
    }
    const bool empty = length == 0 || limit == 0;
    if ((result.guess == postori::CodeKind::Empty) != empty) {
        std::abort();
    }
    // The same bytes always get the same answer.
    if (!(postori::detect_code(std::string_view(text.get(), length), limit) == result)) {
        std::abort();
    }
    return 0;
}
