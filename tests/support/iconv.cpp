// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/iconv.h"

#include <cerrno>
#include <cstdint>

namespace postori::test_support {
namespace {

const iconv_t NO_CONVERSION = reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1));
constexpr std::size_t FAILED = static_cast<std::size_t>(-1);

}  // namespace

Iconv::Iconv(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}

Iconv::~Iconv() {
    if (ok()) {
        ::iconv_close(cd_);
    }
}

bool Iconv::ok() const {
    return cd_ != NO_CONVERSION;
}

std::optional<std::string> Iconv::convert(std::string_view input) {
    if (!ok()) {
        return std::nullopt;
    }
    ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string in(input);
    std::string out(4 * in.size() + 16, '\0');
    char* in_next = in.data();
    std::size_t in_left = in.size();
    char* out_next = out.data();
    std::size_t out_left = out.size();
    if (::iconv(cd_, &in_next, &in_left, &out_next, &out_left) == FAILED ||
        ::iconv(cd_, nullptr, nullptr, &out_next, &out_left) == FAILED) {
        return std::nullopt;
    }
    out.resize(out.size() - out_left);
    return out;
}

std::string Iconv::convert_skipping(std::string_view input) {
    std::string out(4 * input.size() + 16, '\0');
    out.resize(convert_skipping_into(input, out));
    return out;
}

std::size_t Iconv::convert_skipping_into(std::string_view input, std::string& out) {
    if (!ok()) {
        return 0;
    }
    ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in_next = const_cast<char*>(input.data());
    std::size_t in_left = input.size();
    char* out_next = out.data();
    std::size_t out_left = out.size();
    while (in_left > 0 && ::iconv(cd_, &in_next, &in_left, &out_next, &out_left) == FAILED) {
        if (errno == E2BIG) {
            break;
        }
        ++in_next;
        --in_left;
    }
    ::iconv(cd_, nullptr, nullptr, &out_next, &out_left);
    return out.size() - out_left;
}

std::optional<std::string> iconv_convert(std::string_view text, const char* to, const char* from) {
    Iconv conversion(to, from);
    return conversion.convert(text);
}

}  // namespace postori::test_support
