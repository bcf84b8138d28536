// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/vote.h"

#include "codec/detect.h"

namespace postori {

CodeChoice vote_code_choice(std::int32_t sjis_votes, std::int32_t euc_votes, std::int32_t utf8_votes) {
    if (sjis_votes > euc_votes) {
        return sjis_votes > utf8_votes ? CodeChoice::ShiftJis : CodeChoice::Utf8;
    }
    return utf8_votes > euc_votes ? CodeChoice::Utf8 : CodeChoice::EucJp;
}

CodeChoice vote_over_fields(const std::vector<FormField>& fields) {
    std::int32_t sjis = 0;
    std::int32_t euc = 0;
    std::int32_t utf8 = 0;
    for (const FormField& field : fields) {
        switch (detect_code(decode_value(field.value), DETECT_LIMIT).sure) {
            case CodeKind::ShiftJis:
                ++sjis;
                break;
            case CodeKind::EucJp:
                ++euc;
                break;
            case CodeKind::Utf8:
                ++utf8;
                break;
            default:
                break;  // Unknown, Ascii, Jis and the UTF-16/32 kinds cast no vote
        }
    }
    return vote_code_choice(sjis, euc, utf8);
}

}  // namespace postori
