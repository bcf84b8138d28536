// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/form_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "capture/request_head.h"
#include "tests/support/form_request.h"

namespace postori {
namespace {

using testing::ElementsAreArray;

// A field as one line: "T name=value" for text, "F name=filename|type|size"
// for a file, "U name=value" for a urlencoded piece.
std::string summary(const FormField& field) {
    switch (field.kind) {
        case FieldKind::Urlencoded:
            return "U " + field.name + "=" + field.value;
        case FieldKind::Text:
            return "T " + field.name + "=" + field.value;
        case FieldKind::File:
            break;
    }
    return "F " + field.name + "=" + field.file.filename + "|" + field.file.content_type + "|" +
           std::to_string(field.file.size);
}

std::vector<std::string> summaries(const FormBody& body) {
    std::vector<std::string> lines;
    for (const FormField& field : body.fields) {
        lines.push_back(summary(field));
    }
    return lines;
}

TEST(ParseContentType, TypeAndParameters) {
    struct Case {
        std::string value;
        std::string media_type;
        std::string boundary;
        std::string charset;
    };
    const Case cases[] = {
        {"multipart/form-data; boundary=----WebKitFormBoundaryAbC123", "multipart/form-data",
         "----WebKitFormBoundaryAbC123", ""},
        {"Multipart/Form-Data;BOUNDARY=\"a b;c\"", "multipart/form-data", "a b;c", ""},
        {"application/x-www-form-urlencoded;charset=UTF-8", "application/x-www-form-urlencoded", "", "UTF-8"},
        {"  text/plain ; charset = \"Shift_JIS\" ; x", "text/plain", "", "Shift_JIS"},
        {"text/plain; charset=\"a\\\"b\"junk; boundary=z", "text/plain", "z", "a\"b"},
        {"a/b; novalue; boundary=\"unterminated", "a/b", "unterminated", ""},
        {"nonsense", "", "", ""},
        {";;;=;=\"", "", "", ""},
    };
    for (const Case& c : cases) {
        const ContentType type = parse_content_type(c.value);
        EXPECT_EQ(type.media_type, c.media_type) << c.value;
        EXPECT_EQ(type.boundary, c.boundary) << c.value;
        EXPECT_EQ(type.charset, c.charset) << c.value;
    }
}

TEST(ParseContentType, TheHeadReadsItsContentTypeLine) {
    const std::string request =
        "POST / HTTP/1.1\r\nContent-Length: 3\r\ncontent-TYPE: text/plain;charset=EUC-JP\r\n\r\nabc";
    RequestHead head;
    ASSERT_EQ(parse_request_head(request.c_str(), static_cast<std::int32_t>(request.size()), head), 1);
    EXPECT_EQ(head.content_type.media_type, "text/plain");
    EXPECT_EQ(head.content_type.charset, "EUC-JP");
    EXPECT_EQ(body_kind(head.content_type), BodyKind::TextPlain);
}

TEST(ParsePartHead, DispositionAndType) {
    struct Case {
        std::string block;
        std::string summary;  // has_name name has_filename filename content_type
    };
    const Case cases[] = {
        {"Content-Disposition: form-data; name=\"shimei\"", "1 shimei 0  "},
        {"content-disposition:form-data;name=\"a\";filename=\"x.pdf\"\r\nContent-Type: application/pdf ",
         "1 a 1 x.pdf application/pdf"},
        {"Content-Disposition: form-data; name=\"f\"; filename=\"\"\r\nContent-Type: application/octet-stream",
         "1 f 1  application/octet-stream"},
        {"Content-Disposition: form-data; name=\"%22q%22%0D%0A%41\"", "1 \"q\"\r\n%41 0  "},
        {"Content-Disposition: form-data; name=\"a;b\"; filename=\"c=d;e\"", "1 a;b 1 c=d;e "},
        {"Content-Disposition: form-data; name=\"\x95\\\"", "1 \x95\\ 0  "},  // a Shift_JIS trail byte 5C
        {"Content-Disposition: form-data; NAME=\"first\"; name=\"second\"", "1 first 0  "},
        {"Content-Type: text/plain", "0  0  text/plain"},
        {"no colon here\r\n\r\nContent-Disposition: form-data; name=\"late\"", "1 late 0  "},
    };
    for (const Case& c : cases) {
        const PartHead head = parse_part_head(c.block);
        const std::string got = std::to_string(head.has_name) + " " + head.name + " " +
                                std::to_string(head.has_filename) + " " + head.filename + " " + head.content_type;
        EXPECT_EQ(got, c.summary) << c.block;
    }
}

constexpr std::string_view BOUNDARY = "----geckoformboundary1f2e";

// A multipart body of parts given as (header lines, content).
std::string multipart(const std::vector<std::pair<std::string, std::string>>& parts, bool closed = true) {
    std::string body;
    for (const auto& [headers, content] : parts) {
        body += test_support::multipart_part(BOUNDARY, headers, content);
    }
    return closed ? body + test_support::multipart_close(BOUNDARY) : body;
}

std::string disposition(const std::string& name) {
    return test_support::form_data_headers(name);
}

std::string file_part(const std::string& name, const std::string& filename, const std::string& type) {
    return test_support::form_data_headers(name, filename, type);
}

struct MultipartCase {
    const char* label;
    std::string body;
    std::vector<std::string> fields;
    bool cut;
};

void PrintTo(const MultipartCase& c, std::ostream* os) {
    *os << c.label;
}

const MultipartCase multipart_cases[] = {
    {"text_and_files",
     multipart(
         {{disposition("shimei"), "\xBB\xB3\xC5\xC4"},
          {disposition("message"), "line1\r\nline2\r\n"},
          {file_part("attach", "\xB8\xAB\xC0\xD1\xBD\xF1.pdf", "application/pdf"), std::string("%PDF\0\r\n--x\n", 12)},
          {file_part("empty", "", "application/octet-stream"), ""},
          {disposition("after"), "a+b%41"}}),
     {"T shimei=\xBB\xB3\xC5\xC4", "T message=line1\r\nline2\r\n",
      "F attach=\xB8\xAB\xC0\xD1\xBD\xF1.pdf|application/pdf|12", "F empty=|application/octet-stream|0",
      "T after=a+b%41"},
     false},
    {"zero_bytes_kept", multipart({{disposition("z"), std::string("a\0b", 3)}}), {std::string("T z=a\0b", 7)}, false},
    {"preamble_epilogue_and_padding",
     "preamble\r\n--" + std::string(BOUNDARY) + "  \t\r\n" + disposition("a") + "\r\n\r\n1\r\n--" +
         std::string(BOUNDARY) + "--\r\nepilogue --" + std::string(BOUNDARY) + "\r\n",
     {"T a=1"},
     false},
    {"part_without_name", multipart({{"Content-Type: text/plain", "v"}}), {"T =v"}, false},
    {"body_cut_mid_part",
     multipart({{disposition("a"), "1"}, {disposition("b"), "half"}}, false).substr(0, 200),
     {"T a=1", "T b=half\r\n"},
     true},
    {"cut_inside_headers",
     multipart({{disposition("a"), "1"}}, false) + "--" + std::string(BOUNDARY) + "\r\nContent-D",
     {"T a=1"},
     true},
    {"no_delimiter_is_one_field", "just text", {"T multipart/form-data=just text"}, false},
    {"only_the_closing_delimiter",
     "--" + std::string(BOUNDARY) + "--\r\n",
     {"T multipart/form-data=--" + std::string(BOUNDARY) + "--\r\n"},
     false},
    {"near_delimiters_are_content",
     multipart({{disposition("a"), "\r\n--" + std::string(BOUNDARY.substr(0, 10)) + "\r\n-" + std::string(BOUNDARY)}}),
     {"T a=\r\n--" + std::string(BOUNDARY.substr(0, 10)) + "\r\n-" + std::string(BOUNDARY)},
     false},
};

class Multipart : public testing::TestWithParam<MultipartCase> {};

TEST_P(Multipart, SameFieldsWholeByteByByteAndInRandomSplits) {
    const MultipartCase& c = GetParam();
    const auto read = [&](const std::vector<std::size_t>& cuts) {
        MultipartReader reader(BOUNDARY);
        std::size_t from = 0;
        for (const std::size_t cut : cuts) {
            reader.feed(std::string_view(c.body).substr(from, cut - from));
            from = cut;
        }
        reader.feed(std::string_view(c.body).substr(from));
        return reader.finish("multipart/form-data");
    };
    const FormBody whole = read({});
    EXPECT_THAT(summaries(whole), ElementsAreArray(c.fields));
    EXPECT_EQ(whole.cut, c.cut);

    std::vector<std::size_t> every_byte;
    for (std::size_t k = 1; k < c.body.size(); ++k) {
        every_byte.push_back(k);
    }
    const FormBody bytewise = read(every_byte);
    EXPECT_EQ(summaries(bytewise), summaries(whole));
    EXPECT_EQ(bytewise.cut, whole.cut);

    std::mt19937 random(1234);
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<std::size_t> cuts;
        for (std::size_t k = 1; k < c.body.size(); ++k) {
            if (random() % 7 == 0) {
                cuts.push_back(k);
            }
        }
        const FormBody split = read(cuts);
        EXPECT_EQ(summaries(split), summaries(whole)) << "trial " << trial;
        EXPECT_EQ(split.cut, whole.cut);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Multipart, testing::ValuesIn(multipart_cases),
                         [](const testing::TestParamInfo<MultipartCase>& info) {
                             return std::string(info.param.label);
                         });

TEST(MultipartLimits, TextPastTheBudgetAndFieldsPastTheLimitAreCut) {
    MultipartReader big(BOUNDARY);
    big.feed(multipart({{disposition("a"), std::string(TEXT_BUDGET - 2, 'x')}, {disposition("b"), "yyyy"}}));
    const FormBody budget = big.finish("multipart/form-data");
    ASSERT_EQ(budget.fields.size(), 2U);
    EXPECT_EQ(budget.fields[1].name, "b");
    EXPECT_EQ(budget.fields[1].value, "");  // the name took the last byte
    EXPECT_TRUE(budget.cut);

    std::vector<std::pair<std::string, std::string>> parts(MAX_FIELDS + 1, {disposition("n"), "v"});
    MultipartReader many(BOUNDARY);
    many.feed(multipart(parts));
    const FormBody limited = many.finish("multipart/form-data");
    EXPECT_EQ(limited.fields.size(), static_cast<std::size_t>(MAX_FIELDS));
    EXPECT_TRUE(limited.cut);

    // A file far larger than anything kept is only counted.
    MultipartReader file(BOUNDARY);
    file.feed(multipart({{file_part("f", "big.bin", "application/octet-stream"), ""}}, false).substr(0, 200));
    const std::string chunk(1 << 20, '\x00');
    for (int k = 0; k < 8; ++k) {
        file.feed(chunk);
    }
    file.feed("\r\n--" + std::string(BOUNDARY) + "--\r\n");
    const FormBody counted = file.finish("multipart/form-data");
    ASSERT_EQ(counted.fields.size(), 1U);
    EXPECT_FALSE(counted.cut);
}

TEST(TextPlain, LinesAndContinuations) {
    struct Case {
        std::string body;
        std::vector<std::string> fields;
    };
    const Case cases[] = {
        {"shimei=\xBB\xB3\xC5\xC4\r\nformula=1+1=2 & 100%\r\n",
         {"T shimei=\xBB\xB3\xC5\xC4", "T formula=1+1=2 & 100%"}},
        {"message=one\r\ntwo\r\n\r\nfour\r\nnext=x", {"T message=one\r\ntwo\r\n\r\nfour", "T next=x"}},
        {"no equals first\r\na=1\r\n", {"T =no equals first", "T a=1"}},
        {"lf=a\nb\r\n=empty name\r\n", {"T lf=a\nb", "T =empty name"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        const FormBody read = text_plain_fields(c.body);
        EXPECT_THAT(summaries(read), ElementsAreArray(c.fields)) << c.body;
        EXPECT_FALSE(read.cut);
    }
}

TEST(ReadWholeBody, EachKindByItsRules) {
    const auto read = [](std::string_view type, std::string body) {
        return read_whole_body(parse_content_type(type), body.data(), body.size());
    };
    EXPECT_THAT(summaries(read("", "a=1&b&=3\rc=4")), ElementsAreArray({"U a=1", "U =3"}));
    EXPECT_THAT(summaries(read("application/json", "{\"a\": 1}\r\n")),
                ElementsAreArray({"T application/json={\"a\": 1}\r\n"}));
    EXPECT_THAT(summaries(read("multipart/form-data", "--x\r\n")), ElementsAreArray({"T multipart/form-data=--x\r\n"}));
    EXPECT_THAT(summaries(read("text/plain", "a=b+c\r\n")), ElementsAreArray({"T a=b+c"}));

    std::string pieces;
    for (int k = 0; k <= MAX_FIELDS; ++k) {
        pieces += "a=1&";
    }
    EXPECT_TRUE(read("application/x-www-form-urlencoded", pieces).cut);
    EXPECT_FALSE(read("application/x-www-form-urlencoded", "a=1&b=2").cut);
    EXPECT_TRUE(read("application/json", std::string(TEXT_BUDGET + 1, 'j')).cut);
}

}  // namespace
}  // namespace postori
