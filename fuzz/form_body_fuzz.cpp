// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a form body: split it as the capture does, split it again into
// a few slots, and percent-decode pieces into buffers of the capture's size
// and of a tight size, each compared with the plain reference decoder.
//
// Every field is decoded as the capture decodes it; the comparison with the
// reference, the costly part, runs on the first DECODE_CHECKED fields and the
// last one (the piece that ends the body, or the thousandth), which is where
// a body's oddities sit: the fields are decoded one by one, and a mutation
// brings any of them to the front.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capture/form_body.h"
#include "fuzz/fuzz_options.h"
#include "tests/support/reference_capture.h"

namespace {

// Longest input: room for more pieces than MAX_FIELDS.
constexpr std::size_t MAX_BODY_BYTES = 4096;
constexpr std::size_t DECODE_CHECKED = 32;

// Buffers kept from input to input, so that a body of many fields costs no
// allocation per field.
struct Buffers {
    // The value to decode, placed at the very end of an allocation of the
    // body's size, so that a read past it meets AddressSanitizer's red zone.
    std::unique_ptr<char[]> input;
    std::size_t input_size = 0;
    std::string with_zero;  // the reference reads one byte past its input
    std::vector<char> actual;
    std::vector<char> expected;
};

void check_decode(Buffers& buffers, const std::string& raw, std::size_t output_size) {
    if (raw.empty() || output_size == 0) {
        return;
    }
    char* input = buffers.input.get() + buffers.input_size - raw.size();
    std::memcpy(input, raw.data(), raw.size());
    buffers.with_zero.assign(raw);
    buffers.actual.assign(output_size, '\x5a');
    buffers.expected.assign(output_size, '\x5a');
    const auto length = static_cast<std::int32_t>(raw.size());
    const auto size = static_cast<std::uint32_t>(output_size);
    const std::int32_t got = postori::percent_decode(buffers.actual.data(), size, input, length);
    const std::int32_t want =
        postori::reference::percent_decode(buffers.expected.data(), size, buffers.with_zero.c_str(), length);
    if (got != want || buffers.actual != buffers.expected || got < 0 || static_cast<std::size_t>(got) > output_size) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    postori::fuzz::default_option(argc, argv, ("-max_len=" + std::to_string(MAX_BODY_BYTES)).c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    size = std::min(size, MAX_BODY_BYTES);
    static Buffers buffers;
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    buffers.input = std::make_unique<char[]>(size == 0 ? 1 : size);
    buffers.input_size = size == 0 ? 1 : size;

    const std::vector<postori::FormField> fields = postori::collect_fields(text.data());
    if (fields.size() > static_cast<std::size_t>(postori::MAX_FIELDS)) {
        std::abort();
    }
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const postori::FormField& field = fields[k];
        if (k < DECODE_CHECKED || k + 1 == fields.size()) {
            check_decode(buffers, field.value, 2 * field.value.size() + 1);
            check_decode(buffers, field.value, field.value.size() % 3 + 1);
        }
        const std::string decoded = postori::decode_value(field.value);
        if (decoded.find('\0') != std::string::npos || decoded.size() > field.value.size()) {
            std::abort();
        }
        if (postori::count_char(field.value.c_str(), '\r') != 0 || postori::count_char(field.name.c_str(), '\r') != 0) {
            std::abort();  // the body was cut at its first carriage return
        }
    }

    // A second cut into a handful of slots: every slot must point into the text.
    std::copy(data, data + size, text.begin());
    std::vector<char*> slots(1 + size % 5, nullptr);
    const std::int32_t count = postori::split_fields(text.data(), slots, '&');
    if (count < 1 || static_cast<std::size_t>(count) > slots.size()) {
        std::abort();
    }
    for (char* slot : slots) {
        if (slot < text.data() || slot >= text.data() + text.size()) {
            std::abort();
        }
    }
    return 0;
}
