// The streaming converters. Each convert() works through its input one chunk
// at a time: characters are written to a working buffer on the stack, a chunk
// ends before a character once CHUNK_UNITS units are in the buffer (UTF-16 to
// Shift_JIS takes CHUNK_UNITS / 2 units a chunk, which cannot give more), and
// the whole chunk is appended to the output in one step. Nothing is allocated
// per character, and the code tables are constant data (codec/sjis_tables.h).
//
// The conversion loops themselves are free functions over a pointer and a
// length that report how much they consumed, so that the one-shot functions
// can run them on their argument directly instead of copying it into a
// converter first; the result is the same as making the converter, assigning
// the argument to its input, converting and finishing.
#include "codec/convert.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "codec/byte_classes.h"
#include "codec/code_table.h"
#include "codec/sjis_tables.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define POSTORI_UTF8_WINDOW 1
#else
#define POSTORI_UTF8_WINDOW 0
#endif

namespace postori {

namespace {

// The replacements as compile-time text. The converters write these rather
// than read the exported strings, so that they also work while other static
// objects are being initialised; the exported strings are made from them.
constexpr std::string_view SJIS_REPLACEMENT_TEXT = "?";
constexpr std::u16string_view UTF16_REPLACEMENT_TEXT = u"?";
static_assert(SJIS_REPLACEMENT_TEXT.size() <= REPLACEMENT_MAX);
static_assert(UTF16_REPLACEMENT_TEXT.size() <= REPLACEMENT_MAX);

// Room for a chunk plus the largest single character.
constexpr std::size_t BUFFER_UNITS = CHUNK_UNITS + REPLACEMENT_MAX;

// The longest incomplete sequence a UTF-8 conversion can leave: the first
// five bytes of a six-byte form.
constexpr std::size_t UTF8_PENDING_MAX = 5;

template <typename Unit>
inline void put_text(Unit* buffer, std::size_t& length, std::basic_string_view<Unit> text) {
    const std::size_t count = text.size() < REPLACEMENT_MAX ? text.size() : REPLACEMENT_MAX;
    for (std::size_t k = 0; k < count; ++k) {
        buffer[length + k] = text[k];
    }
    length += count;
}

inline const unsigned char* bytes_of(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// Eight bytes as one number, the first byte lowest.
inline std::uint64_t load8(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) {
        word = __builtin_bswap64(word);
    }
    return word;
}

// Stores the low two bytes of `value`, the lowest first.
inline void store2(char* p, std::uint32_t value) {
    auto bytes = static_cast<std::uint16_t>(value & 0xFFFF);
    if constexpr (std::endian::native == std::endian::big) {
        bytes = static_cast<std::uint16_t>((bytes >> 8) | (bytes << 8));
    }
    std::memcpy(p, &bytes, sizeof bytes);
}

// Stores eight bytes, the lowest byte of `word` first.
template <typename Unit>
inline void store8(Unit* p, std::uint64_t word) {
    static_assert(sizeof(Unit) == 1);
    if constexpr (std::endian::native == std::endian::big) {
        word = __builtin_bswap64(word);
    }
    std::memcpy(p, &word, sizeof word);
}

constexpr std::uint64_t HIGH_BITS = 0x8080808080808080u;

// --- EUC-JP to Shift_JIS ---

// The JIS-to-Shift_JIS arithmetic on a raw EUC-JP pair, as two byte tables:
// the first Shift_JIS byte by the first EUC byte, the second by the parity of
// the first EUC byte and the second EUC byte (only entries 0x80-0xFF used).
//   odd b1:  s1 = h + 0x31 (h < 0x6F) or h + 0x71;  s2 = b2 - 0x61 (b2 <= 0xDF) or b2 - 0x60
//   even b1: s1 = h + 0x30 (h <= 0x6F) or h + 0x70; s2 = b2 - 2
// with h = b1 >> 1.
constexpr std::array<std::uint8_t, 256> EUC_SJIS_FIRST = [] {
    std::array<std::uint8_t, 256> table{};
    for (unsigned b1 = 0; b1 < 256; ++b1) {
        const unsigned h = b1 >> 1;
        unsigned s1 = 0;
        if ((b1 & 1) != 0) {
            s1 = h < 0x6F ? h + 0x31 : h + 0x71;
        } else {
            s1 = h <= 0x6F ? h + 0x30 : h + 0x70;
        }
        table[b1] = static_cast<std::uint8_t>(s1 & 0xFF);
    }
    return table;
}();

constexpr std::array<std::uint8_t, 512> EUC_SJIS_SECOND = [] {
    std::array<std::uint8_t, 512> table{};
    for (unsigned b2 = 0x80; b2 < 256; ++b2) {
        table[b2] = static_cast<std::uint8_t>(b2 - 2);
        table[256 + b2] = static_cast<std::uint8_t>(b2 <= 0xDF ? b2 - 0x61 : b2 - 0x60);
    }
    return table;
}();

// The two Shift_JIS bytes of an EUC-JP pair by the arithmetic, the first byte
// lowest.
inline std::uint32_t euc_pair_to_sjis(unsigned b1, unsigned b2) {
    return EUC_SJIS_FIRST[b1] | (static_cast<std::uint32_t>(EUC_SJIS_SECOND[((b1 & 1) << 8) | b2]) << 8);
}

// How many of the four pairs of an eight-byte word (first byte lowest), from
// the first on, go by the plain arithmetic with nothing to check: both bytes
// 0x80 or more and the first byte in A1-F8, so neither 8E nor a row of the
// IBM extensions.
inline std::size_t plain_pairs(std::uint64_t word) {
    constexpr std::uint64_t LANES = 0x0100010001000100u;  // bit 8 of each 16-bit lane
    const std::uint64_t leads = word & 0x00FF00FF00FF00FFu;
    const std::uint64_t at_least_a1 = leads + 0x005F005F005F005Fu;  // bit 8 set when lead >= A1
    const std::uint64_t above_f8 = leads + 0x0007000700070007u;     // bit 8 set when lead >= F9
    const std::uint64_t trail_high = word >> 7;                     // bit 15 of a lane to bit 8
    const std::uint64_t not_plain = ~(at_least_a1 & ~above_f8 & trail_high) & LANES;
    return not_plain == 0 ? 4 : static_cast<std::size_t>(std::countr_zero(not_plain) / 16);
}

// Converts the complete sequences at the front of src[0, size) and appends
// them to `output`; returns how many bytes were consumed. What is left is an
// incomplete sequence at the end: a lead byte as the last byte, or 0x8F with
// fewer than two bytes after it.
std::size_t convert_euc(const unsigned char* src, std::size_t size, std::string& output) {
    std::size_t pos = 0;
    bool stopped = false;
    char buffer[BUFFER_UNITS];
    while (pos < size && !stopped) {
        std::size_t length = 0;
        while (length < CHUNK_UNITS && pos < size) {
            if (size - pos >= 8 && CHUNK_UNITS - length >= 8) {
                // Fast paths over the next eight bytes: a run of ASCII, or of
                // ordinary pairs. Both write eight bytes and keep those of the
                // characters taken; the buffer has room past a chunk for the
                // rest.
                const std::uint64_t word = load8(src + pos);
                if ((word & 0x80) == 0) {
                    store8(buffer + length, word);
                    const std::uint64_t high = word & HIGH_BITS;
                    const auto count = static_cast<std::size_t>(std::countr_zero(high) / 8);  // 8 for none
                    length += count;
                    pos += count;
                    continue;
                }
                const std::size_t pairs = plain_pairs(word);
                if (pairs > 0) {
                    std::uint64_t out = 0;
                    for (int shift = 0; shift < 64; shift += 16) {
                        const auto first = static_cast<unsigned>((word >> shift) & 0xFF);
                        const auto second = static_cast<unsigned>((word >> (shift + 8)) & 0xFF);
                        out |= static_cast<std::uint64_t>(euc_pair_to_sjis(first, second)) << shift;
                    }
                    store8(buffer + length, out);
                    length += 2 * pairs;
                    pos += 2 * pairs;
                    continue;
                }
            }
            const unsigned b1 = src[pos];
            if (b1 < 0x80) {
                buffer[length++] = static_cast<char>(b1);
                ++pos;
                continue;
            }
            if (euc_lead[b1] != 0) {
                if (size - pos < 2) {
                    stopped = true;  // a lead byte at the end waits for its second byte
                    break;
                }
                const unsigned b2 = src[pos + 1];
                if (b1 == 0x8E && b2 >= 0xA1 && b2 <= 0xDF) {
                    buffer[length++] = static_cast<char>(b2);  // half-width katakana
                    pos += 2;
                    continue;
                }
                if (b2 < 0x80) {
                    // Not a pair: '?' for the lead byte, and the second byte
                    // is taken on its own.
                    put_text(buffer, length, SJIS_REPLACEMENT_TEXT);
                    pos += 1;
                    continue;
                }
                const unsigned code = (b1 << 8) | b2;
                if (code >= 0xF9A1 && code <= 0xFCFE) {
                    // JIS rows 89-92: the IBM extension code of the same
                    // character. The range is tested on the 16-bit value, so
                    // a pair such as FA 85 falls in it and finds no entry.
                    const std::uint32_t sjis = lookup(euc_ibm_to_sjis_table, code);
                    if (sjis == 0) {
                        put_text(buffer, length, SJIS_REPLACEMENT_TEXT);
                        pos += 1;
                        continue;
                    }
                    buffer[length] = static_cast<char>((sjis >> 8) & 0xFF);
                    buffer[length + 1] = static_cast<char>(sjis & 0xFF);
                    length += 2;
                    pos += 2;
                    continue;
                }
                // Any other pair with a second byte of 0x80 or more goes
                // through the row/cell arithmetic, unchecked.
                const std::uint32_t sjis = euc_pair_to_sjis(b1, b2);
                buffer[length] = static_cast<char>(sjis & 0xFF);
                buffer[length + 1] = static_cast<char>(sjis >> 8);
                length += 2;
                pos += 2;
                continue;
            }
            if (b1 == 0x8F) {
                // A JIS X 0212 character: one '?' for all three bytes,
                // whatever the two after 0x8F are.
                if (size - pos < 3) {
                    stopped = true;
                    break;
                }
                put_text(buffer, length, SJIS_REPLACEMENT_TEXT);
                pos += 3;
                continue;
            }
            buffer[length++] = static_cast<char>(b1);  // 80-8D, A0, FF pass unchanged
            ++pos;
        }
        output.append(buffer, length);
    }
    return pos;
}

// --- UTF-16 to Shift_JIS ---

// Every UTF-16 unit becomes at most two bytes, which the buffer sizes and the
// fast paths below count on.
static_assert(SJIS_REPLACEMENT_TEXT.size() <= 2, "a unit gives at most two bytes");

// What a unit without a code becomes: nothing for private use
// (U+E000-U+F8FF), the replacement for anything else.
void put_unmapped(char* buffer, std::size_t& length, std::uint32_t unit) {
    if (unit < 0xE000 || unit > 0xF8FF) {
        put_text(buffer, length, SJIS_REPLACEMENT_TEXT);
    }
}

// Writes the Shift_JIS form of one UTF-16 unit. sjis_bytes_of_unit holds the
// bytes ready to store, ASCII included, so a unit with a code is one load,
// one 16-bit store (two bytes written, those that belong to the result kept)
// and a length add; only a unit without a code goes to put_unmapped.
inline void put_sjis_unit(char* buffer, std::size_t& length, std::uint32_t unit) {
    const std::uint32_t bytes = sjis_bytes_of_unit[unit];
    if (bytes == SJIS_BYTES_NONE) [[unlikely]] {
        put_unmapped(buffer, length, unit);
        return;
    }
    store2(buffer + length, bytes);
    length += bytes > 0xFF ? 2 : 1;
}

// The sjis_bytes_of_unit values of four units in the 16-bit lanes of a word,
// the first lowest: the bytes of the four, two a lane, first byte lowest.
inline std::uint64_t four_bytes(std::uint32_t u0, std::uint32_t u1, std::uint32_t u2, std::uint32_t u3) {
    return static_cast<std::uint64_t>(sjis_bytes_of_unit[u0]) |
           (static_cast<std::uint64_t>(sjis_bytes_of_unit[u1]) << 16) |
           (static_cast<std::uint64_t>(sjis_bytes_of_unit[u2]) << 32) |
           (static_cast<std::uint64_t>(sjis_bytes_of_unit[u3]) << 48);
}

// Converts every unit of src[0, size); a unit is never left pending. A unit
// gives at most two bytes, so a chunk takes CHUNK_UNITS / 2 units (or what is
// left) with no check per unit, four units a round: put_sjis_unit has no
// branch that the text decides, and the loop's own test would otherwise be a
// good part of the work. (Taking four units in one step when all four have
// two-byte codes, as the UTF-8 conversion does with five characters, does not
// pay here: in Japanese text the switches between ASCII and kanji keep the
// choice mispredicted.)
void convert_utf16(const char16_t* src, std::size_t size, std::string& output) {
    std::size_t pos = 0;
    char buffer[BUFFER_UNITS];
    while (pos < size) {
        const std::size_t end = pos + std::min(size - pos, CHUNK_UNITS / 2);
        std::size_t length = 0;
        for (; end - pos >= 4; pos += 4) {
            put_sjis_unit(buffer, length, src[pos]);
            put_sjis_unit(buffer, length, src[pos + 1]);
            put_sjis_unit(buffer, length, src[pos + 2]);
            put_sjis_unit(buffer, length, src[pos + 3]);
        }
        for (; pos < end; ++pos) {
            put_sjis_unit(buffer, length, src[pos]);
        }
        output.append(buffer, length);
    }
}

// --- UTF-8 to UTF-16, and on to Shift_JIS ---

// Where a decoded UTF-8 sequence goes. Utf16Sink writes the UTF-16 units;
// SjisSink writes, for each of those same units, what the UTF-16 to Shift_JIS
// conversion makes of it. Since that conversion takes every unit on its own,
// running UTF-8 text through SjisSink gives exactly the UTF-16 to Shift_JIS
// conversion of the finished UTF-16 text, without making that text.
struct Utf16Sink {
    using Unit = char16_t;
    // One character adds at most two units (a surrogate pair) or the
    // replacement.
    static constexpr std::size_t BUFFER = BUFFER_UNITS;

    void put_unit(char16_t* buffer, std::size_t& length, std::uint32_t unit) const {
        buffer[length++] = static_cast<char16_t>(unit);
    }
    // Eight bytes, of which the leading ASCII ones are kept.
    static void put_ascii(char16_t* buffer, std::uint64_t word) {
        for (int k = 0; k < 8; ++k) {
            buffer[k] = static_cast<char16_t>((word >> (8 * k)) & 0xFF);
        }
    }
    // Four characters of three bytes; returns how many of them are kept.
    int put_four(char16_t* buffer, const std::uint32_t (&unit)[4]) const {
        for (int k = 0; k < 4; ++k) {
            buffer[k] = static_cast<char16_t>(unit[k]);
        }
        return 4;
    }
#if POSTORI_UTF8_WINDOW
    // Five characters of three bytes, as put_unit five times; always done.
    bool put_five(char16_t* buffer, std::size_t& length, const std::uint32_t (&unit)[5]) const {
        for (std::size_t k = 0; k < 5; ++k) {
            buffer[length + k] = static_cast<char16_t>(unit[k]);
        }
        length += 5;
        return true;
    }
#endif
};

struct SjisSink {
    using Unit = char;
    // Each UTF-16 unit of a character may become two bytes.
    static constexpr std::size_t BUFFER = CHUNK_UNITS + 2 * REPLACEMENT_MAX;

    void put_unit(char* buffer, std::size_t& length, std::uint32_t unit) const { put_sjis_unit(buffer, length, unit); }
    static void put_ascii(char* buffer, std::uint64_t word) { store8(buffer, word); }
    // Four characters of three bytes: writes eight bytes and returns how many
    // characters from the first on became two bytes each (the common case).
    int put_four(char* buffer, const std::uint32_t (&unit)[4]) const {
        const std::uint64_t bytes = four_bytes(unit[0], unit[1], unit[2], unit[3]);
        unsigned not_two = 0x10;
        for (int k = 0; k < 4; ++k) {
            not_two |= static_cast<unsigned>(((bytes >> (16 * k)) & 0xFFFF) <= 0xFF) << k;
        }
        store8(buffer, bytes);
        return std::countr_zero(not_two);
    }
#if POSTORI_UTF8_WINDOW
    // Five characters of three bytes, as put_unit five times, when all five
    // have two-byte codes (the common case): the five sjis_bytes_of_unit
    // values are gathered into one register and stored at once, rather than
    // each store waiting for the length the one before leaves. A value is
    // two bytes when its high byte (the trail) is not 0. Otherwise nothing
    // is kept and false returned.
    bool put_five(char* buffer, std::size_t& length, const std::uint32_t (&unit)[5]) const {
        __m128i bytes = _mm_cvtsi32_si128(sjis_bytes_of_unit[unit[0]]);
        bytes = _mm_insert_epi16(bytes, sjis_bytes_of_unit[unit[1]], 1);
        bytes = _mm_insert_epi16(bytes, sjis_bytes_of_unit[unit[2]], 2);
        bytes = _mm_insert_epi16(bytes, sjis_bytes_of_unit[unit[3]], 3);
        bytes = _mm_insert_epi16(bytes, sjis_bytes_of_unit[unit[4]], 4);
        const __m128i trails = _mm_srli_epi16(bytes, 8);
        if ((_mm_movemask_epi8(_mm_cmpeq_epi16(trails, _mm_setzero_si128())) & 0x3FF) != 0) {
            return false;
        }
        // Sixteen bytes written, the ten of the five units kept.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + length), bytes);
        length += 10;
        return true;
    }
#endif
};

template <typename Sink>
inline void put_utf16_replacement(const Sink& sink, typename Sink::Unit* buffer, std::size_t& length) {
    const std::size_t count =
        UTF16_REPLACEMENT_TEXT.size() < REPLACEMENT_MAX ? UTF16_REPLACEMENT_TEXT.size() : REPLACEMENT_MAX;
    for (std::size_t k = 0; k < count; ++k) {
        sink.put_unit(buffer, length, UTF16_REPLACEMENT_TEXT[k]);
    }
}

#if POSTORI_UTF8_WINDOW
// The 16 bytes at p (18 are read) as a window of characters: which bytes are
// ASCII, first bytes of three-byte sequences (E0-EF) and following bytes
// (80-BF), one bit per byte, and for every position the character that
// starts there if it is ASCII or a three-byte sequence.
struct Window {
    unsigned ascii;
    unsigned lead3;
    unsigned cont;
    alignas(16) std::uint16_t value[16];
};

inline __m128i load16(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// In 16-bit lanes: ((first & 0F) << 12) | ((second & 3F) << 6) | (third & 3F),
// the character of a three-byte sequence from its three bytes.
inline __m128i three_byte_lanes(__m128i first, __m128i second, __m128i third) {
    const __m128i low4 = _mm_set1_epi16(0x0F);
    const __m128i low6 = _mm_set1_epi16(0x3F);
    return _mm_or_si128(
        _mm_or_si128(_mm_slli_epi16(_mm_and_si128(first, low4), 12), _mm_slli_epi16(_mm_and_si128(second, low6), 6)),
        _mm_and_si128(third, low6));
}

// When three-byte sequences start at 0, 3, 6, 9 and 12 of the 16 bytes at p
// (E0-EF there; 18 bytes are read), their characters, the following bytes
// taken whatever they are, and true; else false.
inline bool five_three_byte(const unsigned char* p, std::uint32_t (&unit)[5]) {
    const __m128i b0 = load16(p);
    const __m128i is_lead = _mm_cmpeq_epi8(_mm_and_si128(b0, _mm_set1_epi8(static_cast<char>(0xF0))),
                                           _mm_set1_epi8(static_cast<char>(0xE0)));
    if ((_mm_movemask_epi8(is_lead) & 0x1249) != 0x1249) {
        return false;
    }
    const __m128i zero = _mm_setzero_si128();
    const __m128i b1 = load16(p + 1);
    const __m128i b2 = load16(p + 2);
    const __m128i low =
        three_byte_lanes(_mm_unpacklo_epi8(b0, zero), _mm_unpacklo_epi8(b1, zero), _mm_unpacklo_epi8(b2, zero));
    const __m128i high =
        three_byte_lanes(_mm_unpackhi_epi8(b0, zero), _mm_unpackhi_epi8(b1, zero), _mm_unpackhi_epi8(b2, zero));
    unit[0] = static_cast<std::uint32_t>(_mm_extract_epi16(low, 0));
    unit[1] = static_cast<std::uint32_t>(_mm_extract_epi16(low, 3));
    unit[2] = static_cast<std::uint32_t>(_mm_extract_epi16(low, 6));
    unit[3] = static_cast<std::uint32_t>(_mm_extract_epi16(high, 1));
    unit[4] = static_cast<std::uint32_t>(_mm_extract_epi16(high, 4));
    return true;
}

inline void read_window(const unsigned char* p, Window& window) {
    const auto mask = [](__m128i v) { return static_cast<unsigned>(_mm_movemask_epi8(v)); };
    const auto bytes_of = [](int byte) { return _mm_set1_epi8(static_cast<char>(byte)); };
    const __m128i b0 = load16(p);
    const __m128i b1 = load16(p + 1);
    const __m128i b2 = load16(p + 2);
    window.ascii = ~mask(b0) & 0xFFFF;
    window.lead3 = mask(_mm_cmpeq_epi8(_mm_and_si128(b0, bytes_of(0xF0)), bytes_of(0xE0)));
    window.cont = mask(_mm_cmpeq_epi8(_mm_and_si128(b0, bytes_of(0xC0)), bytes_of(0x80)));

    // In 16-bit lanes: the three-byte value where b0 is E0-EF, else b0 itself.
    const __m128i zero = _mm_setzero_si128();
    const __m128i e0 = _mm_set1_epi16(0xE0);
    const __m128i f0 = _mm_set1_epi16(0xF0);
    const auto values = [&](__m128i first, __m128i second, __m128i third) {
        const __m128i three = three_byte_lanes(first, second, third);
        const __m128i is_three = _mm_cmpeq_epi16(_mm_and_si128(first, f0), e0);
        return _mm_or_si128(_mm_and_si128(is_three, three), _mm_andnot_si128(is_three, first));
    };
    _mm_store_si128(reinterpret_cast<__m128i*>(window.value),
                    values(_mm_unpacklo_epi8(b0, zero), _mm_unpacklo_epi8(b1, zero), _mm_unpacklo_epi8(b2, zero)));
    _mm_store_si128(reinterpret_cast<__m128i*>(window.value + 8),
                    values(_mm_unpackhi_epi8(b0, zero), _mm_unpackhi_epi8(b1, zero), _mm_unpackhi_epi8(b2, zero)));
}
#else
// The character of a three-byte sequence in the low 24 bits of `word`.
[[maybe_unused]] inline std::uint32_t three_byte_value(std::uint64_t word) {
    return static_cast<std::uint32_t>(((word & 0x0F) << 12) | ((word >> 2) & 0x0FC0) | ((word >> 16) & 0x3F));
}
#endif

// Decodes the complete sequences at the front of src[0, size) into `output`;
// returns how many bytes were consumed. What is left is a sequence that
// its first byte says is longer than the bytes that remain.
template <typename Sink>
std::size_t convert_utf8(const unsigned char* src, std::size_t size, std::basic_string<typename Sink::Unit>& output) {
    static_assert(Sink::BUFFER >= CHUNK_UNITS + REPLACEMENT_MAX);
    const Sink sink;
    std::size_t pos = 0;
    bool stopped = false;
    typename Sink::Unit buffer[Sink::BUFFER];
    while (pos < size && !stopped) {
        std::size_t length = 0;
        while (length < CHUNK_UNITS && pos < size) {
            if (size - pos >= 18 && CHUNK_UNITS - length >= 10) {
                // A run of up to eight ASCII bytes: eight units are written
                // and those of the ASCII bytes kept (the buffer has room past
                // a chunk for the rest).
                const std::uint64_t word = load8(src + pos);
                if ((word & 0x80) == 0) {
                    Sink::put_ascii(buffer + length, word);
                    const std::uint64_t high = word & HIGH_BITS;
                    const auto count = static_cast<std::size_t>(std::countr_zero(high) / 8);  // 8 for none
                    length += count;
                    pos += count;
                    continue;
                }
#if POSTORI_UTF8_WINDOW
                // Five three-byte sequences, at 0, 3, 6, 9 and 12, told by
                // their first bytes alone: their following bytes are taken
                // whatever they are, as below. When the sink declines them,
                // the window or the step-by-step decoding takes them.
                std::uint32_t unit[5];
                if (five_three_byte(src + pos, unit) && sink.put_five(buffer, length, unit)) {
                    pos += 15;
                    continue;
                }
                Window window;
                read_window(src + pos, window);
                // Five characters when the 16 bytes hold only ASCII and
                // well-formed three-byte sequences, in which the step-by-step
                // decoding below finds the same characters.
                const unsigned starts = window.ascii | window.lead3;
                const unsigned follow = ((window.lead3 << 1) | (window.lead3 << 2)) & 0xFFFF;
                if ((starts | window.cont) == 0xFFFF && window.cont == follow) {
                    unsigned rest = starts;
                    unsigned at = 0;
                    for (int k = 0; k < 5; ++k) {
                        at = static_cast<unsigned>(__builtin_ctz(rest));  // five starts lie in 16 bytes
                        rest &= rest - 1;
                        sink.put_unit(buffer, length, window.value[at]);
                    }
                    pos += at + 1 + 2 * ((window.lead3 >> at) & 1);
                    continue;
                }
#else
                // Up to four three-byte sequences.
                const std::uint64_t next = load8(src + pos + 6);
                constexpr std::uint64_t LEADS = 0xF00000F0u;  // bytes 0 and 3
                constexpr std::uint64_t E0 = 0xE00000E0u;
                if ((word & LEADS) == E0) {
                    const std::uint32_t unit[4] = {three_byte_value(word), three_byte_value(word >> 24),
                                                   three_byte_value(next), three_byte_value(next >> 24)};
                    // Characters 2 and 3 count only while 0, 1 are three-byte.
                    const unsigned not_three = 0x10 | (static_cast<unsigned>((next & 0xF0) != 0xE0) << 2) |
                                               (static_cast<unsigned>((next & 0xF0000000u) != 0xE0000000u) << 3);
                    const int written = sink.put_four(buffer + length, unit);
                    const int count = std::min(written, std::countr_zero(not_three));
                    if (count > 0) {
                        length += static_cast<std::size_t>(count) * (sizeof(typename Sink::Unit) == 1 ? 2 : 1);
                        pos += static_cast<std::size_t>(count) * 3;
                        continue;
                    }
                }
#endif
            }
            const unsigned first = src[pos];
            if (first < 0x80) {
                sink.put_unit(buffer, length, first);
                ++pos;
                continue;
            }
            const auto count = static_cast<std::size_t>(utf8_length[first]);
            if (count == 0) {
                put_utf16_replacement(sink, buffer, length);  // 80-BF, FE, FF cannot begin a sequence
                ++pos;
                continue;
            }
            if (size - pos < count) {
                stopped = true;  // the rest of the sequence has not come yet
                break;
            }
            // The following bytes are taken as they are, without testing for
            // the 10xxxxxx form; overlong forms and surrogates pass.
            std::uint32_t value = first & utf8_lead_mask[count];
            for (std::size_t k = 1; k < count; ++k) {
                value = (value << 6) | (src[pos + k] & 0x3Fu);
            }
            pos += count;
            if (value <= 0xFFFF) {
                sink.put_unit(buffer, length, value);
            } else if (value <= 0x10FFFF) {
                sink.put_unit(buffer, length, 0xD800 + ((value - 0x10000) >> 10));
                sink.put_unit(buffer, length, 0xDC00 + (value & 0x3FF));
            } else {
                put_utf16_replacement(sink, buffer, length);
            }
        }
        output.append(buffer, length);
    }
    return pos;
}

// One replacement per element left in the input.
template <typename Unit, typename Element>
void finish_with(std::basic_string<Element>& input, std::basic_string<Unit>& output,
                 std::basic_string_view<Unit> replacement) {
    for (std::size_t k = 0; k < input.size(); ++k) {
        output.append(replacement);
    }
    input.clear();
}

}  // namespace

const std::string SJIS_REPLACEMENT{SJIS_REPLACEMENT_TEXT};
const std::u16string UTF16_REPLACEMENT{UTF16_REPLACEMENT_TEXT};

// --- EucToSjisConverter ---

void EucToSjisConverter::convert() {
    const std::size_t consumed = convert_euc(bytes_of(input), input.size(), output);
    input.erase(0, consumed);
}

void EucToSjisConverter::finish() {
    finish_with(input, output, SJIS_REPLACEMENT_TEXT);
}

void EucToSjisConverter::reset() {
    input.clear();
    output.clear();
}

// --- Utf8ToUtf16Converter ---

void Utf8ToUtf16Converter::convert() {
    const std::size_t consumed = convert_utf8<Utf16Sink>(bytes_of(input), input.size(), output);
    input.erase(0, consumed);
}

void Utf8ToUtf16Converter::finish() {
    finish_with(input, output, UTF16_REPLACEMENT_TEXT);
}

void Utf8ToUtf16Converter::reset() {
    input.clear();
    output.clear();
}

// --- Utf16ToSjisConverter ---

void Utf16ToSjisConverter::convert() {
    convert_utf16(input.data(), input.size(), output);
    input.clear();
}

void Utf16ToSjisConverter::finish() {
    finish_with(input, output, SJIS_REPLACEMENT_TEXT);
}

void Utf16ToSjisConverter::reset() {
    input.clear();
    output.clear();
}

// --- One-shot functions ---
//
// Each converts its argument in place of a converter's input and finishes the
// incomplete tail the same way finish() does. The output never has more
// units than the input has elements, except for UTF-16 to Shift_JIS, so one
// reservation up front is enough.

std::string euc_to_sjis(const std::string& euc) {
    std::string output;
    output.reserve(euc.size());
    const std::size_t consumed = convert_euc(bytes_of(euc), euc.size(), output);
    for (std::size_t k = consumed; k < euc.size(); ++k) {
        output.append(SJIS_REPLACEMENT_TEXT);
    }
    return output;
}

std::u16string utf8_to_utf16(const std::string& utf8) {
    std::u16string output;
    output.reserve(utf8.size());
    const std::size_t consumed = convert_utf8<Utf16Sink>(bytes_of(utf8), utf8.size(), output);
    for (std::size_t k = consumed; k < utf8.size(); ++k) {
        output.append(UTF16_REPLACEMENT_TEXT);
    }
    return output;
}

std::string utf16_to_sjis(const std::u16string& utf16) {
    std::string output;
    output.reserve(utf16.size());
    convert_utf16(utf16.data(), utf16.size(), output);
    return output;
}

// The same as utf16_to_sjis(utf8_to_utf16(utf8)): the UTF-16 units of every
// character, and the UTF16_REPLACEMENT of every byte left pending at the end,
// go through the UTF-16 to Shift_JIS conversion one by one as they are made.
std::string utf8_to_sjis(const std::string& utf8) {
    std::string output;
    output.reserve(utf8.size());
    const std::size_t consumed = convert_utf8<SjisSink>(bytes_of(utf8), utf8.size(), output);
    static_assert(UTF8_PENDING_MAX * 2 * REPLACEMENT_MAX <= SjisSink::BUFFER);
    const SjisSink sink;
    char buffer[SjisSink::BUFFER];
    std::size_t length = 0;
    for (std::size_t k = consumed; k < utf8.size(); ++k) {
        put_utf16_replacement(sink, buffer, length);
    }
    output.append(buffer, length);
    return output;
}

}  // namespace postori
