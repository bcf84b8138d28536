// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a Content-Type header value: the media type and the parameters a
// form body needs ("boundary" for multipart/form-data, "charset").
#pragma once

#include <string>
#include <string_view>

namespace postori {

// A Content-Type value taken apart. Every member is empty when the value
// does not say it.
struct ContentType {
    // "type/subtype", lower-cased (ASCII letters only), without parameters
    // or surrounding white space; empty when the value has no '/' in its
    // first token.
    std::string media_type;
    // The "boundary" parameter as written (letter case kept), quotes and
    // backslash escapes removed.
    std::string boundary;
    // The "charset" parameter as written, quotes removed.
    std::string charset;
};

// The media types a form body is read by.
inline constexpr std::string_view URLENCODED_TYPE = "application/x-www-form-urlencoded";
inline constexpr std::string_view MULTIPART_FORM_TYPE = "multipart/form-data";
inline constexpr std::string_view TEXT_PLAIN_TYPE = "text/plain";

// Takes a Content-Type header value apart ("multipart/form-data;
// boundary=----x", "text/plain;charset=UTF-8"). Parameters are
// "; name=value" with the name compared without letter case and the value
// a bare token or a quoted string (in which a backslash takes the next byte
// as it is). White space around the type, the names, the '=' and the
// values is skipped; a parameter without '=' is skipped; the first
// occurrence of a parameter counts. Any bytes are safe: what cannot be read
// is left empty.
[[nodiscard]] ContentType parse_content_type(std::string_view value);

}  // namespace postori
