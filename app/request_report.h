// What the program can make of one HTTP request before the listener and the
// window exist: the request head and the form fields, as text for a terminal.
#pragma once

#include <string>
#include <string_view>

namespace postori {

// Describes `request` (the bytes of one HTTP request as received): whether
// its head is complete, its method, announced body length and body offset,
// and for a "POST" every form field with its raw and its percent-decoded
// value. Bytes outside printable ASCII are shown as \xNN.
[[nodiscard]] std::string describe_request(std::string_view request);

}  // namespace postori
