// SPDX-License-Identifier: GPL-3.0-or-later
// Taking a urlencoded form body apart: the record of one captured field and
// the byte-string routines that cut the body into pieces, undo the
// percent-encoding of a value and count a byte in a string. Nothing here looks
// at characters beyond single bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace postori {

// How a field's name and value stand in the body they came from.
enum class FieldKind : std::uint8_t {
    // A piece of a urlencoded body: name and value still percent-encoded,
    // '+' not yet a space.
    Urlencoded,
    // A text part of a multipart body, a line of a text/plain body, or a
    // whole body of another type: name and value are the bytes as they are
    // (CR LF and zero bytes included), in the form's code.
    Text,
    // A file part of a multipart body: the name as for Text, the value empty,
    // and what the file is in `file`. Its contents are never kept.
    File,
};

// What a file part said of its file.
struct FileInfo {
    // The filename as sent, in the form's code (empty for an empty file
    // input).
    std::string filename;
    // The part's own Content-Type line as sent (white space trimmed).
    std::string content_type;
    // The size of the contents in bytes.
    std::uint64_t size = 0;
};

// One captured form field. For a urlencoded body both parts are exactly as
// they stood in it: still percent-encoded, '+' not yet a space; either may
// be empty, and the value may hold further '='. Other bodies give Text and
// File fields (see FieldKind).
struct FormField {
    std::string name;
    std::string value;
    FieldKind kind = FieldKind::Urlencoded;
    FileInfo file = {};
};

// Most pieces a form body is split into, and the byte between them.
inline constexpr std::int32_t MAX_FIELDS = 1000;
inline constexpr char FIELD_SEPARATOR = '&';
inline constexpr char NAME_VALUE_SEPARATOR = '=';

// Cuts the zero-terminated `text` in place at `separator` into at most
// `slots.size()` pieces.
//
// The text is first ended at its first carriage return (byte 13): everything
// from there on is dropped, in every piece. Each separator found is
// overwritten with a zero byte. Consecutive separators give empty pieces, a
// separator at the very end gives a last, empty piece, and an empty text gives
// one empty piece. The last slot takes the rest of the text up to the next
// separator; what follows that separator is dropped.
//
// Returns the number of pieces, from 1 to `slots.size()`; each slot up to it
// points at one zero-terminated piece inside `text`, every further slot at an
// empty string (the terminating zero of the last piece). Returns 0 and
// changes nothing when `text` is null or there are no slots. A zero
// `separator` is never found: the whole text is one piece.
std::int32_t split_fields(char* text, std::span<char*> slots, char separator);

// Undoes the percent-encoding of `input[0, input_length)` into `output`.
//
// '+' becomes a space, '%' with two hexadecimal digits becomes the byte they
// name, every other byte stays. The two bytes after a '%' are read as a
// base-16 number the way strtol reads them: leading white space, one optional
// sign ('-' negates; the low 8 bits are written), then hex digits of either
// case. Decoding stops, keeping what was written, at:
//   - a zero input byte;
//   - a '%' that is the last input byte;
//   - an escape with no digit, or with a byte left over after its digits;
//   - a full output buffer.
// An escape whose '%' is the next-to-last byte has one character: "ab%4"
// decodes to "ab" and the byte 4. The escape %00 writes a zero byte, which
// ends the value for a caller that reads up to the first zero.
//
// After each byte written, a zero byte is written after it when the buffer
// has room, so a buffer of input_length + 1 bytes or more always ends up
// zero-terminated. Nothing is read at or beyond `input_length`.
//
// Returns the number of bytes written (the terminating zero not counted); 0
// when `output` or `input` is null, `output_size` is 0 or `input_length` < 1.
[[nodiscard]] std::int32_t percent_decode(char* output, std::uint32_t output_size, const char* input,
                                          std::int32_t input_length);

// Takes a zero-terminated urlencoded form body apart, cutting it in place:
// split at '&' into at most MAX_FIELDS pieces (the body ends at its first
// carriage return), and one field for each piece with an '=', in body order.
// The name is the text before the piece's first '=', the value everything
// after it; a piece without '=' (an empty one included) gives no field.
[[nodiscard]] std::vector<FormField> collect_fields(char* body);

// Percent-decodes one raw value as the capture does: into a zero-filled
// buffer of 2 x length + 1 bytes, kept up to its first zero byte.
[[nodiscard]] std::string decode_value(std::string_view raw);

// A field's value as bytes in the form's code: a urlencoded value
// percent-decoded (decode_value), a Text value as it is, nothing for a File.
[[nodiscard]] std::string field_value_bytes(const FormField& field);

// A field's name as bytes in the form's code: a urlencoded name
// percent-decoded (decode_value), any other as it is.
[[nodiscard]] std::string field_name_bytes(const FormField& field);

// Counts the bytes of the zero-terminated `text` that equal `byte` (0 for a
// null text; the terminating zero is never counted).
[[nodiscard]] std::int32_t count_char(const char* text, char byte);

}  // namespace postori
