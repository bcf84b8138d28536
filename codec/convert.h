// SPDX-License-Identifier: GPL-3.0-or-later
// Conversions of EUC-JP and UTF-8 text to Shift_JIS (code page 932), by way
// of UTF-16 for UTF-8. Total: nothing is rejected, whatever cannot be
// converted becomes '?', and private-use characters are dropped.
#pragma once

#include <cstddef>
#include <string>

namespace postori {

// Most units a chunk of conversion gathers before it is appended to the
// output, and most units one character may add (a replacement is copied up to
// this many units).
inline constexpr std::size_t CHUNK_UNITS = 1000;
inline constexpr std::size_t REPLACEMENT_MAX = 24;

// What an unconvertible sequence becomes.
extern const std::string SJIS_REPLACEMENT;      // "?"
extern const std::u16string UTF16_REPLACEMENT;  // u"?"

// The common base of the streaming converters.
class CodeConverter {
public:
    virtual ~CodeConverter() = default;
};

// Each streaming converter takes its source text in `input` and appends to
// `output`. convert() converts every complete sequence at the front of
// `input`, leaving at most an incomplete sequence from its end; finish()
// turns what is still pending into replacements and empties `input`;
// reset() empties both. Converting a text in one call gives the same output
// as any split of it into several convert() calls.

class EucToSjisConverter : public CodeConverter {
public:
    std::string input;
    std::string output;

    virtual void convert();
    virtual void finish();
    virtual void reset();
};

class Utf8ToUtf16Converter : public CodeConverter {
public:
    std::string input;
    std::u16string output;

    virtual void convert();
    virtual void finish();
    virtual void reset();
};

class Utf16ToSjisConverter : public CodeConverter {
public:
    std::u16string input;
    std::string output;

    virtual void convert();
    virtual void finish();
    virtual void reset();
};

// One-shot conversions of a whole text; the argument is left unchanged.
[[nodiscard]] std::string euc_to_sjis(const std::string& euc);
[[nodiscard]] std::u16string utf8_to_utf16(const std::string& utf8);
[[nodiscard]] std::string utf16_to_sjis(const std::u16string& utf16);
[[nodiscard]] std::string utf8_to_sjis(const std::string& utf8);

}  // namespace postori
