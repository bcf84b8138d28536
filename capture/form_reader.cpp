// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/form_reader.h"

#include "capture/ascii_text.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace postori {
namespace {

constexpr std::string_view CRLF = "\r\n";
// Used for the field of a body sent without any media type.
constexpr std::string_view UNNAMED_BODY_TYPE = "application/octet-stream";

using ascii::equals_lower;
using ascii::is_blank;
using ascii::trimmed;

// The number of urlencoded pieces the body has before its first carriage
// return or zero byte, counted up to MAX_FIELDS + 1.
std::size_t urlencoded_pieces(const char* body) {
    std::size_t pieces = 1;
    for (const char* p = body; *p != '\0' && *p != '\r' && pieces <= MAX_FIELDS; ++p) {
        pieces += *p == FIELD_SEPARATOR ? 1 : 0;
    }
    return pieces;
}

// Appends what of `text` fits in `budget` to `into`; false when not all did.
bool append_within(std::string& into, std::string_view text, std::size_t& budget) {
    const std::size_t kept = std::min(text.size(), budget);
    into.append(text.substr(0, kept));
    budget -= kept;
    return kept == text.size();
}

// Reads the Content-Disposition parameters after "form-data" into `head`.
void read_disposition(std::string_view value, PartHead& head) {
    std::size_t at = value.find(';');
    while (at != std::string_view::npos && at < value.size()) {
        ++at;  // past the ';'
        const std::size_t equals = value.find('=', at);
        const std::size_t semicolon = value.find(';', at);
        if (equals == std::string_view::npos || (semicolon != std::string_view::npos && semicolon < equals)) {
            at = semicolon;
            continue;
        }
        const std::string_view name = trimmed(value.substr(at, equals - at));
        std::size_t v = equals + 1;
        while (v < value.size() && is_blank(value[v])) {
            ++v;
        }
        std::string_view parameter;
        if (v < value.size() && value[v] == '"') {
            const std::size_t close = value.find('"', v + 1);
            const std::size_t end = close == std::string_view::npos ? value.size() : close;
            parameter = value.substr(v + 1, end - v - 1);
            at = close == std::string_view::npos ? std::string_view::npos : value.find(';', close + 1);
        } else {
            parameter = trimmed(value.substr(v, semicolon == std::string_view::npos ? value.npos : semicolon - v));
            at = semicolon;
        }
        if (equals_lower(name, "name") && !head.has_name) {
            head.has_name = true;
            head.name = unescape_part_name(parameter);
        } else if (equals_lower(name, "filename") && !head.has_filename) {
            head.has_filename = true;
            head.filename = unescape_part_name(parameter);
        }
    }
}

}  // namespace

BodyKind body_kind(const ContentType& type) {
    if (type.media_type.empty() || type.media_type == URLENCODED_TYPE) {
        return BodyKind::Urlencoded;
    }
    if (type.media_type == MULTIPART_FORM_TYPE) {
        return type.boundary.empty() ? BodyKind::Other : BodyKind::Multipart;
    }
    if (type.media_type == TEXT_PLAIN_TYPE) {
        return BodyKind::TextPlain;
    }
    return BodyKind::Other;
}

FormBody read_whole_body(const ContentType& type, char* body, std::size_t length) {
    switch (body_kind(type)) {
        case BodyKind::Urlencoded: {
            FormBody read;
            read.cut = urlencoded_pieces(body) > MAX_FIELDS;
            read.fields = collect_fields(body);
            return read;
        }
        case BodyKind::TextPlain:
            return text_plain_fields({body, length});
        case BodyKind::Multipart: {
            // Read whole when it could not be streamed (the listener streams it).
            MultipartReader reader(type.boundary);
            reader.feed({body, length});
            return reader.finish(type.media_type);
        }
        case BodyKind::Other:
            break;
    }
    return whole_body_field(type.media_type, {body, length});
}

FormBody text_plain_fields(std::string_view body) {
    FormBody read;
    std::size_t budget = TEXT_BUDGET;
    while (!body.empty()) {
        const std::size_t end = body.find(CRLF);
        const std::string_view line = body.substr(0, end);
        body.remove_prefix(end == std::string_view::npos ? body.size() : end + CRLF.size());
        const std::size_t equals = line.find(NAME_VALUE_SEPARATOR);
        if (equals == std::string_view::npos && !read.fields.empty()) {
            std::string& value = read.fields.back().value;
            read.cut |= !append_within(value, CRLF, budget) || !append_within(value, line, budget);
            continue;
        }
        if (read.fields.size() == MAX_FIELDS) {
            read.cut = true;
            break;
        }
        FormField field;
        field.kind = FieldKind::Text;
        const std::string_view name = equals == std::string_view::npos ? std::string_view{} : line.substr(0, equals);
        const std::string_view value = equals == std::string_view::npos ? line : line.substr(equals + 1);
        if (name.size() > budget) {
            read.cut = true;
            break;
        }
        append_within(field.name, name, budget);
        read.cut |= !append_within(field.value, value, budget);
        read.fields.push_back(std::move(field));
    }
    return read;
}

FormBody whole_body_field(std::string_view media_type, std::string_view body) {
    FormBody read;
    FormField field;
    field.kind = FieldKind::Text;
    field.name = media_type.empty() ? UNNAMED_BODY_TYPE : media_type;
    std::size_t budget = TEXT_BUDGET;
    read.cut = !append_within(field.value, body, budget);
    read.fields.push_back(std::move(field));
    return read;
}

std::string unescape_part_name(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '%' && k + 2 < text.size()) {
            const char high = text[k + 1];
            const char low = ascii::lower(text[k + 2]);
            if (high == '2' && text[k + 2] == '2') {
                out += '"';
                k += 2;
                continue;
            }
            if (high == '0' && (low == 'd' || low == 'a')) {
                out += low == 'd' ? '\r' : '\n';
                k += 2;
                continue;
            }
        }
        out += text[k];
    }
    return out;
}

PartHead parse_part_head(std::string_view block) {
    PartHead head;
    bool have_disposition = false;
    bool have_type = false;
    while (!block.empty()) {
        const std::size_t end = block.find(CRLF);
        const std::string_view line = block.substr(0, end);
        block.remove_prefix(end == std::string_view::npos ? block.size() : end + CRLF.size());
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        const std::string_view name = trimmed(line.substr(0, colon));
        const std::string_view value = trimmed(line.substr(colon + 1));
        if (equals_lower(name, "content-disposition") && !have_disposition) {
            have_disposition = true;
            read_disposition(value, head);
        } else if (equals_lower(name, "content-type") && !have_type) {
            have_type = true;
            head.content_type = value;
        }
    }
    return head;
}

MultipartReader::MultipartReader(std::string_view boundary) : delimiter_("\r\n--") {
    delimiter_ += boundary;
    // Horspool: how far the window may move when its last byte is c.
    const std::size_t last = delimiter_.size() - 1;
    const auto most = static_cast<std::uint32_t>(std::min<std::size_t>(delimiter_.size(), UINT32_MAX));
    skip_.fill(most);
    for (std::size_t k = 0; k < last; ++k) {
        skip_[static_cast<unsigned char>(delimiter_[k])] = static_cast<std::uint32_t>(last - k);
    }
    // The body's first line is a delimiter without the line end before it.
    pending_ = CRLF;
}

std::size_t MultipartReader::find_delimiter(std::string_view text) const {
    const std::size_t length = delimiter_.size();
    const std::size_t last = length - 1;
    const auto last_byte = static_cast<unsigned char>(delimiter_[last]);
    std::size_t at = 0;
    while (at + length <= text.size()) {
        const auto byte = static_cast<unsigned char>(text[at + last]);
        if (byte == last_byte && std::memcmp(text.data() + at, delimiter_.data(), last) == 0) {
            return at;
        }
        at += skip_[byte];
    }
    return std::string_view::npos;
}

void MultipartReader::feed(std::string_view bytes) {
    // Kept for a body that turns out to hold no field, the epilogue included.
    if (fields_.empty() && raw_start_whole_) {
        const std::size_t room = TEXT_BUDGET - raw_start_.size();
        raw_start_.append(bytes.substr(0, room));
        raw_start_whole_ = bytes.size() <= room;
    }
    if (bytes.empty() || state_ == State::Epilogue) {
        return;
    }
    pending_.append(bytes);
    const std::size_t done = advance(0);
    pending_.erase(0, done);
}

std::size_t MultipartReader::advance(std::size_t at) {
    for (;;) {
        const std::string_view rest = std::string_view(pending_).substr(at);
        switch (state_) {
            case State::Preamble:
            case State::Content: {
                const std::size_t found = find_delimiter(rest);
                if (found == std::string_view::npos) {
                    // The last bytes may be the start of a delimiter: kept.
                    const std::size_t safe =
                        rest.size() >= delimiter_.size() ? rest.size() - (delimiter_.size() - 1) : 0;
                    if (state_ == State::Content) {
                        take_content(rest.substr(0, safe));
                    }
                    return at + safe;
                }
                if (state_ == State::Content) {
                    take_content(rest.substr(0, found));
                }
                at += found + delimiter_.size();
                state_ = State::AfterDelimiter;
                scanned_ = 0;
                break;
            }
            case State::AfterDelimiter: {
                if (rest.size() < 2) {
                    return at;
                }
                if (rest.substr(0, 2) == "--") {
                    state_ = State::Epilogue;
                    return pending_.size();
                }
                // Transport padding, or anything else, up to the line end.
                const std::size_t end = rest.find(CRLF, scanned_ >= 1 ? scanned_ - 1 : 0);
                if (end == std::string_view::npos) {
                    scanned_ = rest.size();
                    if (rest.size() > MAX_PART_HEAD) {
                        cut_ = true;  // no line end: not a part that can be read
                        part_ = Part::Skipped;
                        state_ = State::Content;
                        break;
                    }
                    return at;
                }
                at += end + CRLF.size();
                state_ = State::Headers;
                scanned_ = 0;
                break;
            }
            case State::Headers: {
                std::size_t end = std::string_view::npos;
                std::size_t next = 0;
                if (rest.substr(0, 2) == CRLF) {
                    end = 0;
                    next = 2;
                } else if (const std::size_t blank = rest.find("\r\n\r\n", scanned_ >= 3 ? scanned_ - 3 : 0);
                           blank != std::string_view::npos) {
                    end = blank;
                    next = blank + 4;
                }
                if (end == std::string_view::npos || end > MAX_PART_HEAD) {
                    if (end == std::string_view::npos && rest.size() <= MAX_PART_HEAD) {
                        scanned_ = rest.size();
                        return at;  // the rest of the lines is still to come
                    }
                    cut_ = true;  // header lines past any sense: the part is skipped
                    part_ = Part::Skipped;
                    state_ = State::Content;
                    break;
                }
                begin_part(parse_part_head(rest.substr(0, end)));
                at += next;
                state_ = State::Content;
                break;
            }
            case State::Epilogue:
                return pending_.size();
        }
    }
}

bool MultipartReader::keep_text(std::string& into, std::string_view text) {
    const bool whole = append_within(into, text, budget_left_);
    cut_ |= !whole;
    return whole;
}

void MultipartReader::begin_part(const PartHead& head) {
    const std::size_t head_text = head.name.size() + head.filename.size() + head.content_type.size();
    if (fields_.size() == MAX_FIELDS || head_text > budget_left_) {
        cut_ = true;
        part_ = Part::Skipped;
        return;
    }
    FormField field;
    field.kind = head.has_filename ? FieldKind::File : FieldKind::Text;
    keep_text(field.name, head.name);
    if (head.has_filename) {
        keep_text(field.file.filename, head.filename);
        keep_text(field.file.content_type, head.content_type);
    }
    part_ = head.has_filename ? Part::File : Part::Text;
    fields_.push_back(std::move(field));
    raw_start_.clear();
    raw_start_.shrink_to_fit();
    raw_start_whole_ = false;
}

void MultipartReader::take_content(std::string_view bytes) {
    if (bytes.empty()) {
        return;
    }
    switch (part_) {
        case Part::Text:
            keep_text(fields_.back().value, bytes);
            break;
        case Part::File:
            fields_.back().file.size += bytes.size();
            break;
        case Part::Skipped:
            break;
    }
}

FormBody MultipartReader::finish(std::string_view media_type) {
    FormBody read;
    if (state_ == State::Content) {
        // The body ended inside a part: what is held back is part of it.
        take_content(std::string_view(pending_));
    }
    pending_.clear();
    if (state_ != State::Epilogue && state_ != State::Preamble) {
        cut_ = true;
    }
    state_ = State::Epilogue;
    if (fields_.empty()) {
        read = whole_body_field(media_type, raw_start_);
        read.cut |= !raw_start_whole_;
        return read;
    }
    read.fields = std::move(fields_);
    read.cut = cut_;
    return read;
}

}  // namespace postori
