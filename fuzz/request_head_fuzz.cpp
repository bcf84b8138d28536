// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the start of a request: the parser must never read past the
// terminating zero, must agree with the plain reference parser, and the
// completeness check must stay defined for whatever numbers it produced.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "capture/request_head.h"
#include "tests/support/reference_capture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1'000'000) {
        return 0;
    }
    std::vector<char> received(size + 1, '\0');
    if (size > 0) {
        std::memcpy(received.data(), data, size);
    }
    const auto count = static_cast<std::int32_t>(size);

    postori::RequestHead head{postori::RequestMethod::Other, 7, 7};
    postori::RequestHead expected = head;
    const std::int32_t result = postori::parse_request_head(received.data(), count, head);
    const std::int32_t want = postori::reference::parse_request_head(received.data(), count, expected);
    if (result != want || head.method != expected.method || head.content_length != expected.content_length ||
        head.head_length != expected.head_length) {
        std::abort();
    }
    if (result == 1) {
        if (head.head_length < 4 || static_cast<std::size_t>(head.head_length) > std::strlen(received.data())) {
            std::abort();
        }
        if (postori::request_complete(head, count) !=
            (std::int64_t{count} >= std::int64_t{head.head_length} + head.content_length)) {
            std::abort();
        }
    }
    return 0;
}
