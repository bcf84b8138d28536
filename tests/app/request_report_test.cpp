#include "app/request_report.h"

#include <gtest/gtest.h>

namespace postori {
namespace {

TEST(DescribeRequest, PostShowsRawAndDecodedFields) {
    const std::string report = describe_request("POST /f HTTP/1.1\r\nContent-Length: 19\r\n\r\nname=%A4%A2+x&skip&=v");
    EXPECT_EQ(report,
              "method: POST\n"
              "content-length: 19\n"
              "head length: 40\n"
              "complete: yes\n"
              "fields: 2\n"
              "  \"name\" = \"%A4%A2+x\" -> \"\\xA4\\xA2 x\"\n"
              "  \"\" = \"v\" -> \"v\"\n");
}

TEST(DescribeRequest, OtherRequestsAreDropped) {
    EXPECT_EQ(describe_request("GET / HTTP/1.1\r\nHost: a\r\n\r\n"),
              "method: GET\ncontent-length: 0\nhead length: 27\ncomplete: yes\nnot a POST: dropped\n");
    EXPECT_EQ(describe_request("POST / HTTP/1.1\r\n"), "request head incomplete: no form captured\n");
}

}  // namespace
}  // namespace postori
