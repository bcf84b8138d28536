// Any bytes as a form body: split it as the capture does, split it again into
// a few slots, and percent-decode every piece into buffers of the capture's
// size and of a tight size, each compared with the plain reference decoder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "capture/form_body.h"
#include "tests/support/reference_capture.h"

namespace {

void check_decode(const std::string& raw, std::size_t output_size) {
    if (raw.empty() || output_size == 0) {
        return;
    }
    // Exact-size input without a terminator for the real decoder; the
    // reference reads one byte past its input.
    auto input = std::make_unique<char[]>(raw.size());
    std::memcpy(input.get(), raw.data(), raw.size());
    std::string with_zero = raw;
    with_zero.push_back('\0');
    std::vector<char> actual(output_size, '\x5a');
    std::vector<char> expected(output_size, '\x5a');
    const auto length = static_cast<std::int32_t>(raw.size());
    const auto size = static_cast<std::uint32_t>(output_size);
    const std::int32_t got = postori::percent_decode(actual.data(), size, input.get(), length);
    const std::int32_t want = postori::reference::percent_decode(expected.data(), size, with_zero.data(), length);
    if (got != want || actual != expected || got < 0 || static_cast<std::size_t>(got) > output_size) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1'000'000) {
        return 0;
    }
    std::string body(reinterpret_cast<const char*>(data), size);

    std::vector<char> text(body.begin(), body.end());
    text.push_back('\0');
    const std::vector<postori::FormField> fields = postori::collect_fields(text.data());
    if (fields.size() > static_cast<std::size_t>(postori::MAX_FIELDS)) {
        std::abort();
    }
    for (const postori::FormField& field : fields) {
        check_decode(field.value, 2 * field.value.size() + 1);
        check_decode(field.value, field.value.size() % 3 + 1);
        const std::string decoded = postori::decode_value(field.value);
        if (decoded.find('\0') != std::string::npos || decoded.size() > field.value.size()) {
            std::abort();
        }
        if (postori::count_char(field.value.c_str(), '\r') != 0) {
            std::abort();  // the body was cut at its first carriage return
        }
    }

    // A second cut into a handful of slots: every slot must point into the text.
    std::vector<char> again(body.begin(), body.end());
    again.push_back('\0');
    std::vector<char*> slots(1 + size % 5, nullptr);
    const std::int32_t count = postori::split_fields(again.data(), slots, '&');
    if (count < 1 || static_cast<std::size_t>(count) > slots.size()) {
        std::abort();
    }
    for (char* slot : slots) {
        if (slot < again.data() || slot >= again.data() + again.size()) {
            std::abort();
        }
    }
    return 0;
}
