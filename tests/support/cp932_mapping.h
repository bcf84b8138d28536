// SPDX-License-Identifier: GPL-3.0-or-later
// The code page 932 mapping file (CP932.TXT) as the tests read it, to check
// the generated tables and the decoders against their source. The file is
// shared data, not part of the project: tests skip when it is absent.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace postori::reference {

struct Cp932Mapping {
    // Every code the file defines (single and double byte) -> its character.
    std::map<std::uint32_t, std::uint32_t> unicode_of;
    // The file's line of each code, for failure messages.
    std::map<std::uint32_t, int> line_of;
};

// Where the file is looked for: the shared data beside the checkout.
std::string cp932_mapping_path();

// The file's mappings, or nothing when it cannot be read or holds none.
std::optional<Cp932Mapping> read_cp932_mapping();

}  // namespace postori::reference
