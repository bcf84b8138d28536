// SPDX-License-Identifier: GPL-3.0-or-later
// Form submissions as a browser sends them: the urlencoding of a value and
// the request that carries a form body.
#pragma once

#include <cstddef>
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

}  // namespace postori::test_support
