// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/request_head.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/reference_capture.h"

namespace postori {
namespace {

// The bytes of a request in a heap buffer of exactly their size plus the
// terminating zero, so that AddressSanitizer sees any read past them.
class Received {
public:
    explicit Received(std::string_view bytes) : size_(bytes.size()), data_(new char[bytes.size() + 1]) {
        std::memcpy(data_.get(), bytes.data(), bytes.size());
        data_[bytes.size()] = '\0';
    }
    const char* data() const { return data_.get(); }
    std::int32_t count() const { return static_cast<std::int32_t>(size_); }

private:
    std::size_t size_;
    std::unique_ptr<char[]> data_;
};

struct HeadCase {
    const char* label;
    std::string bytes;
    std::int32_t result;
    RequestMethod method = RequestMethod::Get;
    std::int32_t content_length = 0;
    std::int32_t head_length = 0;
};

void PrintTo(const HeadCase& c, std::ostream* os) {
    *os << c.label;
}

class ParseRequestHead : public testing::TestWithParam<HeadCase> {};

// The whole request at once gives the expected answer, and so does every
// longer receive; every receive that ends before the blank line gives 0.
TEST_P(ParseRequestHead, AtOnceAndByteByByte) {
    const HeadCase& c = GetParam();
    {
        Received received(c.bytes);
        RequestHead head;
        ASSERT_EQ(parse_request_head(received.data(), received.count(), head), c.result);
        if (c.result == 1) {
            EXPECT_EQ(head.method, c.method);
            EXPECT_EQ(head.content_length, c.content_length);
            EXPECT_EQ(head.head_length, c.head_length);
        }
    }
    for (std::size_t n = 0; n < c.bytes.size(); ++n) {
        Received received(std::string_view(c.bytes).substr(0, n));
        RequestHead head;
        const std::int32_t result = parse_request_head(received.data(), received.count(), head);
        if (c.result == 1 && static_cast<std::int32_t>(n) >= c.head_length) {
            EXPECT_EQ(result, 1) << "after " << n << " bytes";
            EXPECT_EQ(head.content_length, c.content_length) << "after " << n << " bytes";
        } else {
            EXPECT_EQ(result, 0) << "after " << n << " bytes";
        }
    }
}

const HeadCase head_cases[] = {
    {"post_with_length", "POST /form HTTP/1.1\r\nHost: x\r\nContent-Length: 12\r\n\r\na=1", 1, RequestMethod::Post, 12,
     52},
    {"get_without_length", "GET / HTTP/1.1\r\nHost: x\r\n\r\n", 1, RequestMethod::Get, 0, 27},
    {"lower_case_post", "post / HTTP/1.0\r\nA: b\r\n\r\n", 1, RequestMethod::Post, 0, 25},
    {"mixed_case_post", "Post / HTTP/1.0\r\nA: b\r\n\r\n", 1, RequestMethod::Post, 0, 25},
    {"lower_case_get", "get / HTTP/1.0\r\nA: b\r\n\r\n", 1, RequestMethod::Get, 0, 24},
    {"longer_token_is_other", "POSTX / HTTP/1.0\r\nA: b\r\n\r\n", 1, RequestMethod::Other, 0, 26},
    {"put_is_other", "PUT / HTTP/1.0\r\nContent-Length: 3\r\n\r\n", 1, RequestMethod::Other, 3, 37},
    {"empty_token_is_other", " / HTTP/1.0\r\nA: b\r\n\r\n", 1, RequestMethod::Other, 0, 21},
    {"token_without_space", "POST\r\nContent-Length: 5\r\n\r\n", 1, RequestMethod::Post, 5, 27},
    {"request_line_alone", "POST / HTTP/1.1\r\n\r\nabc", 0},
    {"bare_line_feeds_never_end", "POST / HTTP/1.1\nContent-Length: 3\n\nabc", 0},
    {"fewer_than_five_bytes", "A\r\n\r", 0},
    {"shortest_head", "P\r\nA: b\r\n\r\n", 1, RequestMethod::Other, 0, 11},
    {"shortest_request_line_alone", "P\r\n\r\n", 0},
    {"upper_case_name", "POST / HTTP/1.1\r\nCONTENT-LENGTH:  7\r\n\r\n", 1, RequestMethod::Post, 7, 39},
    {"no_space_after_colon_ends_scan", "POST / HTTP/1.1\r\nContent-Length:7\r\n\r\n", 1, RequestMethod::Post, 0, 37},
    {"line_without_colon_hides_later_lines", "POST / HTTP/1.1\r\nbroken\r\nContent-Length: 9\r\n\r\n", 1,
     RequestMethod::Post, 0, 46},
    {"only_first_colon_space_splits", "POST / HTTP/1.1\r\ncontent-length: 3: 4\r\n\r\n", 1, RequestMethod::Post, 3, 41},
    {"trailing_text_after_digits", "POST / HTTP/1.1\r\nContent-Length: 42abc\r\n\r\n", 1, RequestMethod::Post, 42, 42},
    {"not_a_number", "POST / HTTP/1.1\r\nContent-Length: abc\r\n\r\n", 1, RequestMethod::Post, 0, 40},
    {"empty_value", "POST / HTTP/1.1\r\nContent-Length: \r\n\r\n", 1, RequestMethod::Post, 0, 37},
    {"tab_and_sign", "POST / HTTP/1.1\r\nContent-Length: \t+15\r\n\r\n", 1, RequestMethod::Post, 15, 41},
    {"negative", "POST / HTTP/1.1\r\nContent-Length: -20\r\n\r\n", 1, RequestMethod::Post, -20, 40},
    {"last_length_wins", "POST / HTTP/1.1\r\nContent-Length: 1\r\ncontent-length: 2\r\n\r\n", 1, RequestMethod::Post, 2,
     57},
    {"largest_length", "POST / HTTP/1.1\r\nContent-Length: 2147483647\r\n\r\n", 1, RequestMethod::Post, INT32_MAX, 47},
    {"length_past_limit_saturates", "POST / HTTP/1.1\r\nContent-Length: 2147483648\r\n\r\n", 1, RequestMethod::Post,
     INT32_MAX, 47},
    {"huge_length_saturates", "POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999999\r\n\r\n", 1,
     RequestMethod::Post, INT32_MAX, 63},
    {"smallest_length", "POST / HTTP/1.1\r\nContent-Length: -2147483648\r\n\r\n", 1, RequestMethod::Post, INT32_MIN,
     48},
    {"huge_negative_saturates", "POST / HTTP/1.1\r\nContent-Length: -99999999999999\r\n\r\n", 1, RequestMethod::Post,
     INT32_MIN, 52},
    {"name_with_trailing_space", "POST / HTTP/1.1\r\nContent-Length : 5\r\n\r\n", 1, RequestMethod::Post, 0, 39},
    {"lone_carriage_return_in_value", "POST / HTTP/1.1\r\nContent-Length: \r5\r\n\r\n", 1, RequestMethod::Post, 5, 39},
    {"bare_line_feed_is_ordinary_byte", "POST / HTTP/1.1\r\nX: a\nContent-Length: 5\r\n\r\n", 1, RequestMethod::Post, 0,
     43},
    {"body_offset_ignores_what_follows", "GET / HTTP/1.1\r\nA: b\r\n\r\n\r\n\r\nmore", 1, RequestMethod::Get, 0, 24},
    {"zero_byte_hides_the_blank_line", std::string("POST / HTTP/1.1\r\nA: b\0\r\n\r\n", 26), 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, ParseRequestHead, testing::ValuesIn(head_cases),
                         [](const testing::TestParamInfo<HeadCase>& info) { return std::string(info.param.label); });

TEST(ParseRequestHeadState, LatestHeadWinsAndFailureKeepsFields) {
    RequestHead head;
    Received post("POST / HTTP/1.1\r\nContent-Length: 8\r\n\r\n");
    ASSERT_EQ(parse_request_head(post.data(), post.count(), head), 1);

    // Not yet complete: nothing changes.
    Received partial("GET / HTTP/1.1\r\nHost: x\r\n");
    EXPECT_EQ(parse_request_head(partial.data(), partial.count(), head), 0);
    EXPECT_EQ(head.method, RequestMethod::Post);
    EXPECT_EQ(head.content_length, 8);
    EXPECT_EQ(head.head_length, 38);

    // A request line alone: the body offset is known, the rest stays.
    Received alone("GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(parse_request_head(alone.data(), alone.count(), head), 0);
    EXPECT_EQ(head.method, RequestMethod::Post);
    EXPECT_EQ(head.content_length, 8);
    EXPECT_EQ(head.head_length, 18);

    Received get("GET / HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(parse_request_head(get.data(), get.count(), head), 1);
    EXPECT_EQ(head.method, RequestMethod::Get);
    EXPECT_EQ(head.content_length, 0);
    EXPECT_EQ(head.head_length, 27);
}

TEST(ParseRequestHeadState, CountOnlyGuardsTheMinimum) {
    // The bytes are read up to their zero whatever the count says, once it is 5.
    Received received("GET / HTTP/1.1\r\nA: b\r\n\r\n");
    RequestHead head;
    EXPECT_EQ(parse_request_head(received.data(), 4, head), 0);
    EXPECT_EQ(parse_request_head(received.data(), 5, head), 1);
    EXPECT_EQ(head.head_length, 24);
}

TEST(ParseRequestHeadState, NullBytesAreNotAHead) {
    RequestHead head;
    EXPECT_EQ(parse_request_head(nullptr, 100, head), 0);
}

// Random heads built from the pieces that matter to the parser, compared with
// a plain strstr/strtol implementation.
TEST(ParseRequestHeadReference, AgreesOnGeneratedHeads) {
    static const char* const pieces[] = {"POST",
                                         "post",
                                         "GET",
                                         "gEt",
                                         "PUT",
                                         " ",
                                         "/",
                                         "HTTP/1.1",
                                         "\r\n",
                                         "\r",
                                         "\n",
                                         ": ",
                                         ":",
                                         "content-length",
                                         "Content-Length",
                                         "CONTENT-LENGTH",
                                         "Host",
                                         "0",
                                         "7",
                                         "42",
                                         "-",
                                         "+",
                                         "\t",
                                         "2147483648",
                                         "99999999999",
                                         "x"};
    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> count(0, 24);
    for (int trial = 0; trial < 20000; ++trial) {
        std::string bytes;
        const int n = count(random);
        for (int k = 0; k < n; ++k) {
            bytes += pieces[pick(random)];
        }
        if (trial % 2 == 0) {
            bytes += "\r\n\r\n";
        }
        Received received(bytes);
        RequestHead expected{RequestMethod::Other, -1, -1};
        RequestHead actual = expected;
        const std::int32_t want = reference::parse_request_head(received.data(), received.count(), expected);
        const std::int32_t got = parse_request_head(received.data(), received.count(), actual);
        ASSERT_EQ(got, want) << testing::PrintToString(bytes);
        EXPECT_EQ(actual.method, expected.method) << testing::PrintToString(bytes);
        EXPECT_EQ(actual.content_length, expected.content_length) << testing::PrintToString(bytes);
        EXPECT_EQ(actual.head_length, expected.head_length) << testing::PrintToString(bytes);
    }
}

struct CompleteCase {
    std::int32_t head_length;
    std::int32_t content_length;
    std::int32_t received;
    bool complete;
};

TEST(RequestComplete, ComparesWithoutOverflow) {
    const CompleteCase cases[] = {
        {40, 10, 49, false},
        {40, 10, 50, true},
        {40, 0, 40, true},
        {40, -20, 30, true},
        // 32-bit arithmetic would wrap these sums negative and call the
        // request complete at once.
        {40, INT32_MAX, 999'999, false},
        {INT32_MAX, INT32_MAX, INT32_MAX, false},
        {40, INT32_MIN, 0, true},
        {INT32_MAX, 0, INT32_MAX, true},
    };
    for (const CompleteCase& c : cases) {
        RequestHead head{RequestMethod::Post, c.content_length, c.head_length};
        EXPECT_EQ(request_complete(head, c.received), c.complete)
            << c.head_length << " + " << c.content_length << " vs " << c.received;
    }
}

}  // namespace
}  // namespace postori
