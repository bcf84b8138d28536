// SPDX-License-Identifier: GPL-3.0-or-later
// Naive implementations of the request head parser and the percent-decoder,
// written the plain C way (copies, strstr, strtol), to compare the real ones
// with on many generated inputs.
#pragma once

#include <cstdint>

#include "capture/request_head.h"

namespace postori::reference {

std::int32_t parse_request_head(const char* received, std::int32_t received_count, RequestHead& head);

// `input` must be followed by a zero byte at input[input_length].
std::int32_t percent_decode(char* output, std::uint32_t output_size, const char* input, std::int32_t input_length);

}  // namespace postori::reference
