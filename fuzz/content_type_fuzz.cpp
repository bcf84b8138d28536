// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a Content-Type value, and as the header lines of a multipart
// part: whatever they hold, the readers stay within them and give what their
// contracts promise (a lower-case media type with a '/', names and
// filenames no longer than their lines, escapes undone only for '"', CR and
// LF).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "capture/content_type.h"
#include "capture/form_reader.h"

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const postori::ContentType type = postori::parse_content_type(text);
    check(type.media_type.empty() || type.media_type.find('/') != std::string::npos);
    check(type.media_type.find(';') == std::string::npos);
    for (const char c : type.media_type) {
        check(c < 'A' || c > 'Z');
    }
    check(type.boundary.size() <= size && type.charset.size() <= size);
    (void)postori::body_kind(type);

    const postori::PartHead head = postori::parse_part_head(text);
    check(head.name.size() <= size && head.filename.size() <= size && head.content_type.size() <= size);
    check(head.has_name || head.name.empty());
    check(head.has_filename || head.filename.empty());

    // Undoing the escapes only ever shortens, and leaves no escape of a
    // quote behind that was not one to begin with.
    const std::string unescaped = postori::unescape_part_name(text);
    check(unescaped.size() <= size);
    if (text.find('%') == std::string_view::npos) {
        check(unescaped == text);
    }
    return 0;
}
