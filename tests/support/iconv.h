// SPDX-License-Identifier: GPL-3.0-or-later
// glibc iconv as the tests and benchmarks use it: a second, independent
// converter to compare ours with, and a way to write text in a given code.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace postori::test_support {

class Iconv {
public:
    // A conversion from the code `from` to the code `to`, by iconv's names.
    Iconv(const char* to, const char* from);
    ~Iconv();
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // False when iconv has no such conversion.
    [[nodiscard]] bool ok() const;

    // The whole of `input` converted, or nothing when iconv rejects any of
    // it, the conversion does not exist or the output passes four bytes per
    // input byte. Each call starts in the initial shift state and ends with
    // it restored.
    [[nodiscard]] std::optional<std::string> convert(std::string_view input);

    // `input` converted, each byte iconv cannot convert skipped.
    [[nodiscard]] std::string convert_skipping(std::string_view input);

    // The same into `out` as the caller sized it, for timing iconv without
    // allocating: stops when `out` is full; returns the bytes written.
    std::size_t convert_skipping_into(std::string_view input, std::string& out);

private:
    iconv_t cd_;
};

// `text` converted by a fresh Iconv(to, from), or nothing when iconv does
// not know a code or rejects a character.
[[nodiscard]] std::optional<std::string> iconv_convert(std::string_view text, const char* to, const char* from);

}  // namespace postori::test_support
