// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/vote.h"

#include <algorithm>
#include <array>

#include "capture/ascii_text.h"
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
        if (field.kind == FieldKind::File) {
            continue;
        }
        switch (detect_code(field_value_bytes(field), DETECT_LIMIT).sure) {
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

namespace {

struct CharsetLabel {
    std::string_view label;  // lower case
    CodeChoice code;
};

// The labels browsers and servers use for the three codes.
constexpr std::array CHARSET_LABELS{
    CharsetLabel{"utf-8", CodeChoice::Utf8},
    CharsetLabel{"utf8", CodeChoice::Utf8},
    CharsetLabel{"unicode-1-1-utf-8", CodeChoice::Utf8},
    CharsetLabel{"unicode11utf8", CodeChoice::Utf8},
    CharsetLabel{"unicode20utf8", CodeChoice::Utf8},
    CharsetLabel{"x-unicode20utf8", CodeChoice::Utf8},
    CharsetLabel{"shift_jis", CodeChoice::ShiftJis},
    CharsetLabel{"shift-jis", CodeChoice::ShiftJis},
    CharsetLabel{"sjis", CodeChoice::ShiftJis},
    CharsetLabel{"x-sjis", CodeChoice::ShiftJis},
    CharsetLabel{"ms_kanji", CodeChoice::ShiftJis},
    CharsetLabel{"csshiftjis", CodeChoice::ShiftJis},
    CharsetLabel{"windows-31j", CodeChoice::ShiftJis},
    CharsetLabel{"cp932", CodeChoice::ShiftJis},
    CharsetLabel{"ms932", CodeChoice::ShiftJis},
    CharsetLabel{"euc-jp", CodeChoice::EucJp},
    CharsetLabel{"eucjp", CodeChoice::EucJp},
    CharsetLabel{"x-euc-jp", CodeChoice::EucJp},
    CharsetLabel{"cseucpkdfmtjapanese", CodeChoice::EucJp},
};

}  // namespace

std::optional<CodeChoice> charset_label_code(std::string_view label) {
    label = ascii::trimmed(label);
    for (const CharsetLabel& known : CHARSET_LABELS) {
        if (ascii::equals_lower(label, known.label)) {
            return known.code;
        }
    }
    return std::nullopt;
}

std::optional<CodeChoice> declared_code(const std::vector<FormField>& fields) {
    for (const FormField& field : fields) {
        if (field.kind != FieldKind::File && ascii::equals_lower(field_name_bytes(field), CHARSET_FIELD_NAME)) {
            return charset_label_code(field_value_bytes(field));
        }
    }
    return std::nullopt;
}

}  // namespace postori
