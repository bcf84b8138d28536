// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a captured POST's body by its Content-Type: urlencoded bodies as
// they always were (form_body.h), multipart/form-data part by part as it
// streams in, text/plain line by line, and any other body as one field
// named by its media type. Pure code over bytes; the listener feeds it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "capture/content_type.h"
#include "capture/form_body.h"

namespace postori {

// Most bytes of text (names, values, filenames, content types) kept of one
// body that is not urlencoded; what goes past is counted as cut. The same
// bound as the receive buffer puts on a urlencoded request.
inline constexpr std::size_t TEXT_BUDGET = 999'999;

// How a body is read.
enum class BodyKind : std::uint8_t {
    Urlencoded,  // application/x-www-form-urlencoded, or no Content-Type at all
    Multipart,   // multipart/form-data with a boundary: streamed (MultipartReader)
    TextPlain,   // text/plain
    Other,       // anything else, multipart/form-data without a boundary included
};

[[nodiscard]] BodyKind body_kind(const ContentType& type);

// The fields of a body, and whether anything of it was left out.
struct FormBody {
    std::vector<FormField> fields;
    // True when something received was not kept: text past TEXT_BUDGET,
    // fields past MAX_FIELDS, a part that could not be read, or a body that
    // ended inside a part.
    bool cut = false;
};

// Reads a whole body that is not streamed (every kind but Multipart).
// `body` holds the `length` bytes received after the head followed by a
// zero byte; a urlencoded body is cut in place exactly as collect_fields()
// does (to its first zero byte and first carriage return, at most
// MAX_FIELDS pieces). `type` names the field of an Other body.
[[nodiscard]] FormBody read_whole_body(const ContentType& type, char* body, std::size_t length);

// text/plain: lines ending in CR LF, each split at its first '=' into name
// and value, nothing decoded; a line with no '=' continues the value before
// it (joined with CR LF), or is a value of its own with an empty name when
// it comes first.
[[nodiscard]] FormBody text_plain_fields(std::string_view body);

// Any other body: one field named by the media type (or "application/octet-stream"
// when none was given) whose value is the body as it came, up to TEXT_BUDGET.
[[nodiscard]] FormBody whole_body_field(std::string_view media_type, std::string_view body);

// What the header lines of one multipart part say.
struct PartHead {
    bool has_name = false;      // Content-Disposition gave a name
    std::string name;           // `name`, %22 %0D %0A undone
    bool has_filename = false;  // a file part, even with an empty filename
    std::string filename;       // `filename`, %22 %0D %0A undone
    std::string content_type;   // the part's Content-Type, trimmed
};

// Reads a part's header lines (`block`: the lines without the blank line
// that ends them, separated by CR LF). Header names are compared without
// letter case; Content-Disposition parameters are name="quoted" or bare.
// Quoted values end at the next '"' (browsers write '"' as %22, and a
// backslash may be the second byte of a Shift_JIS character).
[[nodiscard]] PartHead parse_part_head(std::string_view block);

// Undoes the only escapes browsers make in multipart names and filenames:
// %22, %0D and %0A (either letter case) for '"', CR and LF. Any other '%'
// stays as it is.
[[nodiscard]] std::string unescape_part_name(std::string_view text);

// Reads a multipart/form-data body as it arrives, in pieces of any size:
// the parts are split at CR LF "--" boundary and the closing delimiter ends
// the body. Text parts become Text fields, file parts File fields whose
// contents are counted and dropped; memory stays bounded by what is kept
// (TEXT_BUDGET, MAX_FIELDS) and a few kilobytes, whatever the body's size.
class MultipartReader {
public:
    // `boundary` must not be empty.
    explicit MultipartReader(std::string_view boundary);

    // The next bytes of the body. Any split of a body gives the same fields.
    void feed(std::string_view bytes);

    // True once the closing delimiter has been read; later bytes are ignored.
    [[nodiscard]] bool closed() const { return state_ == State::Epilogue; }

    // The body has ended (its length is in, or its peer closed): a part still
    // open is kept as far as it came, and counted as cut. A body that gave no
    // field becomes one field as whole_body_field() makes it, from its first
    // TEXT_BUDGET bytes. `media_type` names that field.
    [[nodiscard]] FormBody finish(std::string_view media_type);

    // Longest block of header lines one part may have.
    static constexpr std::size_t MAX_PART_HEAD = 64 * 1024;

private:
    enum class State : std::uint8_t {
        Preamble,        // before the first delimiter
        AfterDelimiter,  // "--" closes; otherwise the rest of the line is skipped
        Headers,         // the part's header lines, up to a blank line
        Content,         // the part's contents, up to the next delimiter
        Epilogue,        // after the closing delimiter
    };
    enum class Part : std::uint8_t { Text, File, Skipped };

    // Works through pending_ from `at`; returns where it stopped.
    std::size_t advance(std::size_t at);
    std::size_t find_delimiter(std::string_view text) const;
    void begin_part(const PartHead& head);
    void take_content(std::string_view bytes);
    bool keep_text(std::string& into, std::string_view text);

    std::string delimiter_;                  // CR LF "--" boundary
    std::array<std::uint32_t, 256> skip_{};  // Horspool shifts for delimiter_
    std::string pending_;                    // bytes not worked through yet
    // How much of pending_ a search for a line end has looked at already,
    // so that header lines dripping in are not searched again and again.
    std::size_t scanned_ = 0;
    State state_ = State::Preamble;
    Part part_ = Part::Skipped;
    std::vector<FormField> fields_;
    std::size_t budget_left_ = TEXT_BUDGET;
    bool cut_ = false;
    // The body's first bytes, kept until the first field begins, for a body
    // that turns out to hold none.
    std::string raw_start_;
    bool raw_start_whole_ = true;
};

}  // namespace postori
