// SPDX-License-Identifier: GPL-3.0-or-later
// Deciding in which character code a byte string is written: 7-bit ASCII,
// Shift_JIS, JIS (ISO-2022-JP), EUC-JP, UTF-8, UTF-16 or UTF-32 of either
// byte order.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace postori {

enum class CodeKind : std::int32_t {
    Empty = 0,     // no text (only as guess)
    Unknown = 1,   // only as sure: the evidence for guess is weak
    Ascii = 2,     // 7-bit text
    ShiftJis = 3,  // Shift_JIS
    Jis = 4,       // ISO-2022-JP family, told by its escapes (or SI)
    EucJp = 5,     // EUC-JP
    Utf8 = 7,      // UTF-8
    Utf16Be = 8,
    Utf16Le = 9,
    Utf32Be = 10,
    Utf32Le = 11,
};

// The detector's answer: the kind the evidence favours, and the same kind
// again where the detector stands by it, else Unknown. Act on `sure`.
struct DetectResult {
    CodeKind guess = CodeKind::Empty;
    CodeKind sure = CodeKind::Unknown;

    friend bool operator==(const DetectResult&, const DetectResult&) = default;
};

// What one forbidden sequence costs a scorer: the weight of the heaviest
// character, the ideographic space.
inline constexpr std::int32_t ERROR_PENALTY = 395578;

// Most bytes the scoring pass reads.
inline constexpr std::uint32_t SCAN_WINDOW = 256;

// The running state of one scorer: how much the characters it decoded weigh,
// and how many byte sequences its code forbids it has seen.
struct CodeScorer {
    std::int32_t errors = 0;
    std::int32_t score = 0;
    // 0 between characters; 1 when the second byte of a two-byte character is
    // due; -k when k more bytes are due (EUC-JP three-byte characters, UTF-8).
    std::int32_t state = 0;
    std::int32_t code = 0;

    void reset();
    // Counts a forbidden sequence and drops the character being read; the
    // byte that caused it is not fed again.
    void fail();
    // score - errors x ERROR_PENALTY (saturated at the 32-bit limits).
    [[nodiscard]] std::int32_t net_score() const;

    // Each advances the scorer by one byte (0-255) read in that code.
    void feed_sjis(std::int32_t byte);
    void feed_euc(std::int32_t byte);
    void feed_utf8(std::int32_t byte);
};

// 00, 0F (SI), 1B (ESC) and 80-FF: the bytes that plain 7-bit text lacks.
extern const std::array<bool, 256> special_bytes;

// Decides the code of the first min(text.size(), limit) bytes of `text`.
// Marks and escapes decide first; otherwise a window of at most SCAN_WINDOW
// bytes, starting at the first special byte rounded down to a multiple of 4,
// is weighed by a Shift_JIS, an EUC-JP and a UTF-8 scorer. Reads nothing
// beyond those bytes, allocates nothing, keeps nothing between calls.
[[nodiscard]] DetectResult detect_code(std::string_view text, std::uint32_t limit);

}  // namespace postori
