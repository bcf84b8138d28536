// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/cp932_mapping.h"

#include <fstream>
#include <sstream>

namespace postori::reference {

std::string cp932_mapping_path() {
    return std::string(POSTORI_SHARED_DATA_DIR) + "/CP932.TXT";
}

std::optional<Cp932Mapping> read_cp932_mapping() {
    std::ifstream in(cp932_mapping_path());
    if (!in) {
        return std::nullopt;
    }
    Cp932Mapping mapping;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string code_text;
        std::string unicode_text;
        fields >> code_text >> unicode_text;
        if (unicode_text.empty() || unicode_text[0] == '#') {
            continue;  // an undefined byte or a lead byte
        }
        const auto code = static_cast<std::uint32_t>(std::stoul(code_text, nullptr, 16));
        mapping.unicode_of[code] = static_cast<std::uint32_t>(std::stoul(unicode_text, nullptr, 16));
        mapping.line_of[code] = number;
    }
    if (mapping.unicode_of.empty()) {
        return std::nullopt;
    }
    return mapping;
}

}  // namespace postori::reference
