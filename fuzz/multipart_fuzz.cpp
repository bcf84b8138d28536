// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a multipart/form-data body, fed to the streaming reader in
// pieces of any size: the first byte gives the boundary's length (taken
// from the bytes after it), the second a seed for where the body is split.
// Whatever the split (random pieces, and byte by byte for short bodies),
// the reader must give the same fields and the same cut
// as when fed the body whole, keep no more text than its budget, never keep
// a file's contents, and never read outside what it was given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "capture/form_reader.h"
#include "fuzz/fuzz_options.h"

namespace {

constexpr std::size_t BYTEWISE_LIMIT = 128;

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

postori::FormBody read_in_pieces(std::string_view boundary, std::string_view body, unsigned seed, bool bytewise) {
    postori::MultipartReader reader(boundary);
    std::minstd_rand random(seed);
    while (!body.empty()) {
        const std::size_t piece = bytewise ? 1 : 1 + random() % 61;
        reader.feed(body.substr(0, piece));
        body.remove_prefix(std::min(piece, body.size()));
    }
    return reader.finish("multipart/form-data");
}

bool same(const postori::FormBody& a, const postori::FormBody& b) {
    if (a.cut != b.cut || a.fields.size() != b.fields.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.fields.size(); ++k) {
        const postori::FormField& x = a.fields[k];
        const postori::FormField& y = b.fields[k];
        if (x.kind != y.kind || x.name != y.name || x.value != y.value || x.file.filename != y.file.filename ||
            x.file.content_type != y.file.content_type || x.file.size != y.file.size) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Long enough for several parts with long names.
    postori::fuzz::default_option(argc, argv, "-max_len=1024");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const std::size_t boundary_length = 1 + data[0] % 24;
    const unsigned seed = data[1];
    const std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    if (rest.size() < boundary_length) {
        return 0;
    }
    const std::string_view boundary = rest.substr(0, boundary_length);
    const std::string_view body = rest.substr(boundary_length);

    postori::MultipartReader whole_reader(boundary);
    whole_reader.feed(body);
    const postori::FormBody whole = whole_reader.finish("multipart/form-data");
    check(same(whole, read_in_pieces(boundary, body, seed, false)));
    // Byte by byte too, where that stays cheap: a body of a few parts.
    if (body.size() <= BYTEWISE_LIMIT) {
        check(same(whole, read_in_pieces(boundary, body, seed, true)));
    }

    std::size_t kept = 0;
    for (const postori::FormField& field : whole.fields) {
        check(field.kind != postori::FieldKind::Urlencoded);
        check(field.kind != postori::FieldKind::File || field.value.empty());
        check(field.file.size <= body.size());
        kept += field.name.size() + field.value.size() + field.file.filename.size() + field.file.content_type.size();
    }
    check(kept <= postori::TEXT_BUDGET + 64);  // the fallback field's name is its media type
    check(whole.fields.size() <= static_cast<std::size_t>(postori::MAX_FIELDS));
    check(!whole.fields.empty());
    return 0;
}
