// SPDX-License-Identifier: GPL-3.0-or-later
// Form submissions as a browser sends them: the urlencoding of a value and
// the request that carries a form body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace postori::test_support {

// The bytes as a browser writes them in an application/x-www-form-urlencoded
// body: letters, digits and * - . _ stay, a space becomes '+', every other
// byte becomes %XX with upper-case digits.
[[nodiscard]] std::string form_urlencode(std::string_view bytes);

// The head of a form POST announcing a body of `content_length` bytes, with
// `extra_headers` (whole lines, each ending in CR LF) before its length.
[[nodiscard]] std::string post_head(std::size_t content_length, std::string_view extra_headers = {});

// A whole form POST: post_head for `body`, then the body.
[[nodiscard]] std::string post_request(std::string_view body, std::string_view extra_headers = {});

// --- multipart/form-data, as browsers write it ---

// The header lines of a form-data part (without the blank line after them):
// its Content-Disposition with `name`, and for a file part its `filename`
// and Content-Type.
[[nodiscard]] std::string form_data_headers(std::string_view name);
[[nodiscard]] std::string form_data_headers(std::string_view name, std::string_view filename,
                                            std::string_view content_type);

// One whole part: the delimiter line, `headers`, a blank line, `content`
// and the line end that belongs to the next delimiter.
[[nodiscard]] std::string multipart_part(std::string_view boundary, std::string_view headers, std::string_view content);

// The closing delimiter that ends a multipart body.
[[nodiscard]] std::string multipart_close(std::string_view boundary);

// The head of a multipart/form-data POST with `boundary`, announcing a body
// of `content_length` bytes.
[[nodiscard]] std::string multipart_head(std::string_view boundary, std::uint64_t content_length);

}  // namespace postori::test_support
