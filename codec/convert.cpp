// SPDX-License-Identifier: GPL-3.0-or-later
// The conversions to Shift_JIS, by their rules.
//
// Chunks. Every conversion works through its source one chunk at a time: the
// characters are written to a working buffer on the stack, and before each
// character the loop checks whether CHUNK_UNITS units are already in it; if
// so, the chunk ends and the buffer is appended to the output in one step. A
// character adds at most REPLACEMENT_MAX units (a replacement is copied up to
// that many), so the buffer holds CHUNK_UNITS + REPLACEMENT_MAX; twice that
// margin from UTF-8 straight to Shift_JIS, where a character's two UTF-16
// units may each become a replacement. A chunk ends between two characters,
// so chunks never show in the result.
//
// Pending tails. A conversion stops at an incomplete sequence at the end of
// its source and says how much it consumed; a converter keeps the rest in
// `input` for its next convert(), and finish() turns each element of it into
// one replacement.
//
// Fast paths. Before each character a loop lets a fast kernel (codec/fast/)
// take a run of common characters at once. A kernel converts them exactly as
// the rules below would and stops before anything else, so these rules decide
// every case; the plain conversions (codec/convert_plain.h) run the same loop
// without the kernels, and the tests hold the two to the same output.
//
// The loop is a free function over a pointer and a length that says how much
// it consumed, so that the one-shot functions run it on their argument
// directly instead of copying it into a converter first; the result is the
// same as making the converter, assigning the argument to its input,
// converting and finishing.
#include "codec/convert.h"

#include <cstdint>
#include <string_view>

#include "codec/byte_classes.h"
#include "codec/code_table.h"
#include "codec/convert_plain.h"
#include "codec/fast/euc_to_sjis.h"
#include "codec/fast/kernel.h"
#include "codec/fast/utf16_to_sjis.h"
#include "codec/fast/utf8.h"
#include "codec/jis_arithmetic.h"
#include "codec/sjis_tables.h"

namespace postori {

namespace {

// The replacements as compile-time text. The converters write these rather
// than read the exported strings, so that they also work while other static
// objects are being initialised; the exported strings are made from them.
constexpr std::string_view SJIS_REPLACEMENT_TEXT = "?";
constexpr std::u16string_view UTF16_REPLACEMENT_TEXT = u"?";
static_assert(SJIS_REPLACEMENT_TEXT.size() <= REPLACEMENT_MAX);
static_assert(UTF16_REPLACEMENT_TEXT.size() <= REPLACEMENT_MAX);

// Whether a loop lets the fast kernels go first.
enum class Kernels { Off, On };

// The working buffer of one chunk: CHUNK_UNITS units, then room for the
// character that reaches or passes that mark (at most `Extra` units), which
// is also where a fast kernel may store its scratch.
template <typename UnitType, std::size_t Extra>
struct Chunk {
    static_assert(Extra >= REPLACEMENT_MAX && Extra >= fast::SPILL);
    using Unit = UnitType;

    Unit units[CHUNK_UNITS + Extra];
    std::size_t length = 0;

    bool full() const { return length >= CHUNK_UNITS; }
    void put(std::uint32_t unit) { units[length++] = static_cast<Unit>(unit); }
    void put(std::basic_string_view<Unit> text) {
        for (std::size_t k = 0; k < text.size() && k < REPLACEMENT_MAX; ++k) {
            units[length++] = text[k];
        }
    }
    // Lets a kernel convert into what is left of the chunk; returns the
    // source elements it took.
    template <typename Source>
    std::size_t run(fast::Progress (*kernel)(const Source*, std::size_t, Unit*, std::size_t), const Source* src,
                    std::size_t size) {
        const fast::Progress progress = kernel(src, size, units + length, CHUNK_UNITS - length);
        length += progress.written;
        return progress.read;
    }
    // Ends the chunk: appends it to `output` and starts the next.
    void flush(std::basic_string<Unit>& output) {
        output.append(units, length);
        length = 0;
    }
};

// Shift_JIS output, whatever the source: the largest character is a UTF-8
// one above U+FFFF, two UTF-16 units that may each become a replacement.
using SjisChunk = Chunk<char, 2 * REPLACEMENT_MAX>;
// UTF-16 output: a surrogate pair or a replacement.
using Utf16Chunk = Chunk<char16_t, REPLACEMENT_MAX>;

const unsigned char* bytes_of(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// Appends one replacement for each of `count` elements left pending.
template <typename Unit>
void append_replacements(std::basic_string<Unit>& output, std::size_t count, std::basic_string_view<Unit> text) {
    for (std::size_t k = 0; k < count; ++k) {
        output.append(text);
    }
}

// The loop every conversion runs: converts the complete characters at the
// front of src[0, size) and appends them to `output`, chunk by chunk; returns
// how many source elements were consumed. `Direction` gives the rules for one
// character (`character`: the elements it took, or 0 when it is incomplete
// and waits for more, which ends the conversion), the chunk to write into and
// the fast kernel.
template <typename Direction, Kernels K>
std::size_t convert_chunks(const typename Direction::Source* src, std::size_t size,
                           std::basic_string<typename Direction::Chunk::Unit>& output) {
    typename Direction::Chunk chunk;
    std::size_t pos = 0;
    while (pos < size) {
        if (chunk.full()) {
            chunk.flush(output);
        }
        if constexpr (K == Kernels::On) {
            // A run of common characters at once; the rules take the one
            // after it.
            pos += chunk.run(Direction::kernel, src + pos, size - pos);
            if (pos == size) {
                break;
            }
            if (chunk.full()) {
                continue;
            }
        }
        const std::size_t taken = Direction::character(src + pos, size - pos, chunk);
        if (taken == 0) {
            break;
        }
        pos += taken;
    }
    chunk.flush(output);
    return pos;
}

// --- EUC-JP to Shift_JIS ---

struct FromEuc {
    using Source = unsigned char;
    using Chunk = SjisChunk;
    static constexpr auto kernel = fast::euc_to_sjis;

    // The character at the front of src[0, left), left >= 1. What can be
    // left incomplete: a lead byte as the last byte, or 0x8F with fewer than
    // two bytes after it.
    static std::size_t character(const unsigned char* src, std::size_t left, Chunk& chunk) {
        const std::uint32_t b1 = src[0];
        if (euc_lead[b1] != 0) {  // 8E, 90-9F, A1-FE
            if (left < 2) {
                return 0;
            }
            const std::uint32_t b2 = src[1];
            if (b1 == 0x8E && b2 >= 0xA1 && b2 <= 0xDF) {
                chunk.put(b2);  // half-width katakana
                return 2;
            }
            if (b2 < 0x80) {
                // Not a pair: '?' for the lead byte, and the second byte is
                // taken next on its own.
                chunk.put(SJIS_REPLACEMENT_TEXT);
                return 1;
            }
            std::uint32_t sjis = 0;
            const std::uint32_t code = (b1 << 8) | b2;
            if (code >= 0xF9A1 && code <= 0xFCFE) {
                // JIS rows 89-92: the IBM extension code of the same
                // character. The range is tested on the 16-bit value, so a
                // pair such as FA 85 falls in it and finds no entry.
                sjis = lookup(euc_ibm_to_sjis_table, code);
                if (sjis == 0) {
                    chunk.put(SJIS_REPLACEMENT_TEXT);
                    return 1;
                }
            } else {
                sjis = sjis_by_arithmetic(b1, b2);
            }
            chunk.put(sjis >> 8);
            chunk.put(sjis & 0xFF);
            return 2;
        }
        if (b1 == 0x8F) {
            // A JIS X 0212 character: one '?' for all three bytes, whatever
            // the two after 0x8F are.
            if (left < 3) {
                return 0;
            }
            chunk.put(SJIS_REPLACEMENT_TEXT);
            return 3;
        }
        chunk.put(b1);  // 00-7F, 80-8D, A0 and FF pass unchanged
        return 1;
    }
};

// --- UTF-16 to Shift_JIS ---

// Converts one UTF-16 unit into `chunk`.
void unit_to_sjis(std::uint32_t unit, SjisChunk& chunk) {
    if (unit <= 0x7F) {
        chunk.put(unit);
        return;
    }
    const std::uint32_t sjis = lookup(unicode_to_sjis_table, unit);
    if (sjis > 0xFF) {
        chunk.put(sjis >> 8);
        chunk.put(sjis & 0xFF);
    } else if (sjis != 0) {
        chunk.put(sjis);  // half-width katakana
    } else if (unit < 0xE000 || unit > 0xF8FF) {
        chunk.put(SJIS_REPLACEMENT_TEXT);  // no code; private use gives nothing
    }
}

struct FromUtf16 {
    using Source = char16_t;
    using Chunk = SjisChunk;
    static constexpr auto kernel = fast::utf16_to_sjis;

    // Every unit is taken on its own (surrogate pairs are not combined), so
    // nothing is ever left pending.
    static std::size_t character(const char16_t* src, std::size_t /*left*/, Chunk& chunk) {
        unit_to_sjis(src[0], chunk);
        return 1;
    }
};

// --- UTF-8 to UTF-16, and on to Shift_JIS ---

// Where the UTF-16 units of the decoded characters go. ToUtf16 writes them;
// ToSjis writes what the UTF-16 to Shift_JIS conversion makes of each. Since
// that conversion takes every unit on its own, UTF-8 text decoded into ToSjis
// gives exactly the Shift_JIS conversion of the finished UTF-16 text, without
// making that text.
struct ToUtf16 {
    using Chunk = Utf16Chunk;
    static constexpr auto kernel = fast::utf8_to_utf16;
    static void put(Chunk& chunk, std::uint32_t unit) { chunk.put(unit); }
};

struct ToSjis {
    using Chunk = SjisChunk;
    static constexpr auto kernel = fast::utf8_to_sjis;
    static void put(Chunk& chunk, std::uint32_t unit) { unit_to_sjis(unit, chunk); }
};

template <typename Sink>
void put_utf16_replacement(typename Sink::Chunk& chunk) {
    for (std::size_t k = 0; k < UTF16_REPLACEMENT_TEXT.size() && k < REPLACEMENT_MAX; ++k) {
        Sink::put(chunk, UTF16_REPLACEMENT_TEXT[k]);
    }
}

template <typename Sink>
struct FromUtf8 {
    using Source = unsigned char;
    using Chunk = typename Sink::Chunk;
    static constexpr auto kernel = Sink::kernel;

    // The character at the front of src[0, left), left >= 1. What can be
    // left incomplete: a sequence that its first byte says is longer than
    // the bytes that remain.
    static std::size_t character(const unsigned char* src, std::size_t left, Chunk& chunk) {
        const std::uint32_t first = src[0];
        const auto length = static_cast<std::size_t>(utf8_length[first]);
        if (length == 0) {
            put_utf16_replacement<Sink>(chunk);  // 80-BF, FE and FF cannot begin a sequence
            return 1;
        }
        if (left < length) {
            return 0;
        }
        // The following bytes are taken as they are, without testing for the
        // 10xxxxxx form; overlong forms and encoded surrogates pass.
        std::uint32_t value = first & utf8_lead_mask[length];
        for (std::size_t k = 1; k < length; ++k) {
            value = (value << 6) | (src[k] & 0x3Fu);
        }
        if (value <= 0xFFFF) {
            Sink::put(chunk, value);
        } else if (value <= 0x10FFFF) {
            Sink::put(chunk, 0xD800 + ((value - 0x10000) >> 10));
            Sink::put(chunk, 0xDC00 + (value & 0x3FF));
        } else {
            put_utf16_replacement<Sink>(chunk);
        }
        return length;
    }
};

// --- One-shot conversions ---
//
// Each converts its argument in place of a converter's input and finishes the
// incomplete tail the same way finish() does. The output never has more
// units than the input has elements, except for UTF-16 to Shift_JIS, so one
// reservation up front is enough.

template <Kernels K>
std::string euc_to_sjis_by(const std::string& euc) {
    std::string output;
    output.reserve(euc.size());
    const std::size_t consumed = convert_chunks<FromEuc, K>(bytes_of(euc), euc.size(), output);
    append_replacements(output, euc.size() - consumed, SJIS_REPLACEMENT_TEXT);
    return output;
}

template <Kernels K>
std::u16string utf8_to_utf16_by(const std::string& utf8) {
    std::u16string output;
    output.reserve(utf8.size());
    const std::size_t consumed = convert_chunks<FromUtf8<ToUtf16>, K>(bytes_of(utf8), utf8.size(), output);
    append_replacements(output, utf8.size() - consumed, UTF16_REPLACEMENT_TEXT);
    return output;
}

template <Kernels K>
std::string utf16_to_sjis_by(const std::u16string& utf16) {
    std::string output;
    output.reserve(utf16.size());
    convert_chunks<FromUtf16, K>(utf16.data(), utf16.size(), output);
    return output;
}

// The same as utf16_to_sjis(utf8_to_utf16(utf8)): the UTF-16 units of every
// character, and the UTF16_REPLACEMENT of every byte left pending at the end,
// go through the UTF-16 to Shift_JIS conversion one by one as they are made.
template <Kernels K>
std::string utf8_to_sjis_by(const std::string& utf8) {
    std::string output;
    output.reserve(utf8.size());
    const std::size_t consumed = convert_chunks<FromUtf8<ToSjis>, K>(bytes_of(utf8), utf8.size(), output);
    // At most five bytes are pending (the first five of a six-byte form).
    SjisChunk chunk;
    for (std::size_t k = consumed; k < utf8.size(); ++k) {
        put_utf16_replacement<ToSjis>(chunk);
    }
    chunk.flush(output);
    return output;
}

// One replacement per element left in the input.
template <typename Unit, typename Element>
void finish_with(std::basic_string<Element>& input, std::basic_string<Unit>& output,
                 std::basic_string_view<Unit> replacement) {
    append_replacements(output, input.size(), replacement);
    input.clear();
}

}  // namespace

const std::string SJIS_REPLACEMENT{SJIS_REPLACEMENT_TEXT};
const std::u16string UTF16_REPLACEMENT{UTF16_REPLACEMENT_TEXT};

// --- EucToSjisConverter ---

void EucToSjisConverter::convert() {
    const std::size_t consumed = convert_chunks<FromEuc, Kernels::On>(bytes_of(input), input.size(), output);
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
    const std::size_t consumed = convert_chunks<FromUtf8<ToUtf16>, Kernels::On>(bytes_of(input), input.size(), output);
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
    const std::size_t consumed = convert_chunks<FromUtf16, Kernels::On>(input.data(), input.size(), output);
    input.erase(0, consumed);
}

void Utf16ToSjisConverter::finish() {
    finish_with(input, output, SJIS_REPLACEMENT_TEXT);
}

void Utf16ToSjisConverter::reset() {
    input.clear();
    output.clear();
}

// --- One-shot functions ---

std::string euc_to_sjis(const std::string& euc) {
    return euc_to_sjis_by<Kernels::On>(euc);
}

std::u16string utf8_to_utf16(const std::string& utf8) {
    return utf8_to_utf16_by<Kernels::On>(utf8);
}

std::string utf16_to_sjis(const std::u16string& utf16) {
    return utf16_to_sjis_by<Kernels::On>(utf16);
}

std::string utf8_to_sjis(const std::string& utf8) {
    return utf8_to_sjis_by<Kernels::On>(utf8);
}

namespace plain {

std::string euc_to_sjis(const std::string& euc) {
    return euc_to_sjis_by<Kernels::Off>(euc);
}

std::u16string utf8_to_utf16(const std::string& utf8) {
    return utf8_to_utf16_by<Kernels::Off>(utf8);
}

std::string utf16_to_sjis(const std::u16string& utf16) {
    return utf16_to_sjis_by<Kernels::Off>(utf16);
}

std::string utf8_to_sjis(const std::string& utf8) {
    return utf8_to_sjis_by<Kernels::Off>(utf8);
}

}  // namespace plain

}  // namespace postori
