// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/eviction.h"

#include <gtest/gtest.h>

#include <vector>

namespace postori {
namespace {

using enum RequestStage;

TEST(RequestStage, HowFarTheRequestHasCome) {
    struct Case {
        std::int32_t received;
        bool head_parsed;
        RequestMethod method;
        RequestStage stage;
    };
    const Case cases[] = {
        {0, false, RequestMethod::Get, Silent},
        {1, false, RequestMethod::Get, HeadIncomplete},
        // A head that is a request line alone leaves the method as it was.
        {999'999, false, RequestMethod::Post, HeadIncomplete},
        {40, true, RequestMethod::Get, HeadNotPost},
        {40, true, RequestMethod::Other, HeadNotPost},
        {40, true, RequestMethod::Post, PostHead},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(request_stage(c.received, c.head_parsed, c.method), c.stage)
            << c.received << " " << c.head_parsed << " " << static_cast<int>(c.method);
    }
}

TEST(ConnectionToEvict, LowestStageAcceptedFirst) {
    struct Case {
        const char* label;
        std::vector<RequestStage> stages;  // in the order accepted
        std::size_t evicted;
    };
    const Case cases[] = {
        {"one", {PostHead}, 0},
        {"all_silent_oldest", {Silent, Silent, Silent}, 0},
        {"silent_before_older_incomplete", {HeadIncomplete, HeadIncomplete, Silent, Silent}, 2},
        {"incomplete_before_older_other_method", {HeadNotPost, PostHead, HeadIncomplete}, 2},
        {"other_method_before_older_post", {PostHead, PostHead, HeadNotPost, HeadNotPost}, 2},
        {"posts_oldest", {PostHead, PostHead, PostHead}, 0},
        {"every_stage", {PostHead, HeadNotPost, HeadIncomplete, Silent, PostHead}, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(connection_to_evict(c.stages), c.evicted) << c.label;
    }
}

}  // namespace
}  // namespace postori
