// SPDX-License-Identifier: GPL-3.0-or-later
// Judging the bytes received on one connection: is the HTTP request head
// complete yet, and if so, what are its method, its announced body length and
// the offset of its body.
#pragma once

#include <cstdint>
#include <string_view>

#include "capture/content_type.h"

namespace postori {

enum class RequestMethod : std::int32_t {
    Get = 0,
    Post = 1,
    Other = 2,
};

// What the latest parsed head said. A zero-initialised head reads as a "GET"
// with no body, so a capture that never parsed a "POST" never looks like one.
struct RequestHead {
    RequestMethod method = RequestMethod::Get;
    // The number on the head's "content-length" line as written (sign
    // included), saturated at the 32-bit limits; 0 when there is none.
    std::int32_t content_length = 0;
    // Offset of the body: the index of the first "\r\n\r\n" plus 4.
    std::int32_t head_length = 0;
    // The head's "content-type" line taken apart; empty when there is none.
    ContentType content_type = {};
};

// Looks for a complete request head at the start of `received`.
//
// `received` holds the bytes received so far and must be followed by at
// least one zero byte: it is searched as a zero-terminated string, so a zero
// byte before the blank line hides the rest. `received_count` is the number
// of bytes received; it only guards the minimum size (5 bytes).
//
// Returns 1 when a complete head was found, and then fills all of `head`;
// returns 0 when not (yet): fewer than 5 bytes, no "\r\n\r\n" yet, or a head
// that is a request line alone. On 0, `head` keeps what it held, except that
// a head which is a request line alone still sets `head_length`.
//
// Only the method token (upper-cased, letters a-z only) and the
// "content-length" and "content-type" headers (names compared lower-cased;
// the last line of each counts) are read. Lines end at
// "\r\n" only; a bare line feed is an ordinary byte. A header line without
// ": " ends the scan of header lines. The received bytes are never changed.
[[nodiscard]] std::int32_t parse_request_head(const char* received, std::int32_t received_count, RequestHead& head);

// The first two words of a request line: the method and the target, as sent.
struct RequestLine {
    std::string_view method;
    std::string_view target;
};

// The request line at the start of `received` (up to its first CR LF, or
// all of it), split at spaces: its first word and its second (empty when it
// has none).
[[nodiscard]] RequestLine request_line(std::string_view received);

// Whether `received_count` bytes hold the whole request that `head` describes:
// received_count >= head_length + content_length, computed without overflow
// (a negative content length makes the request complete as soon as its head is
// in; a huge one is never complete, and the request then ends when its peer
// closes or the buffer is full).
[[nodiscard]] bool request_complete(const RequestHead& head, std::int32_t received_count);

}  // namespace postori
