// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture/capture_job.h"

#include <gtest/gtest.h>

#include <vector>

namespace postori {
namespace {

enum class Step { Store, Cancel };

// What the run and the listener thread may do to one job, in every order
// that matters: the first of a store and a cancel wins, and the one that
// comes second changes nothing and says so.
TEST(CaptureJob, FirstOfStoreAndCancelWins) {
    struct Case {
        const char* label;
        std::vector<Step> steps;
        std::vector<bool> answers;  // what each step returned
        bool cancelled;
        bool captured;
    };
    const Case cases[] = {
        {"store", {Step::Store}, {true}, false, true},
        {"store_twice_keeps_the_first", {Step::Store, Step::Store}, {true, false}, false, true},
        {"cancel_then_store_stores_nothing", {Step::Cancel, Step::Store}, {true, false}, true, false},
        {"store_then_cancel_loses", {Step::Store, Step::Cancel}, {true, false}, false, true},
        {"cancel_twice", {Step::Cancel, Step::Cancel}, {true, true}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CaptureJob job(CaptureRequest{8080});
        std::vector<bool> answers;
        int stores = 0;
        for (const Step step : c.steps) {
            if (step == Step::Store) {
                ++stores;
                CaptureResult result;
                result.head.method = RequestMethod::Post;
                result.fields = {{"n", std::to_string(stores)}};
                result.code_choice = CodeChoice::Utf8;
                answers.push_back(job.store_result(std::move(result)));
            } else {
                answers.push_back(job.cancel());
            }
        }
        EXPECT_EQ(answers, c.answers);
        EXPECT_EQ(job.cancelled(), c.cancelled);
        EXPECT_EQ(job.request().port, 8080);
        const CaptureResult& result = job.result();
        if (c.captured) {
            EXPECT_EQ(result.head.method, RequestMethod::Post);
            ASSERT_EQ(result.fields.size(), 1u);
            EXPECT_EQ(result.fields[0].value, "1");
            EXPECT_EQ(result.code_choice, CodeChoice::Utf8);
        } else {
            EXPECT_EQ(result.head.method, RequestMethod::Get);
            EXPECT_TRUE(result.fields.empty());
            EXPECT_EQ(result.code_choice, CodeChoice::EucJp);
        }
    }
}

TEST(CaptureJob, NewJobHasNothingCapturedAndNoSocket) {
    const CaptureJob job;
    EXPECT_EQ(job.request().port, DEFAULT_PORT);
    EXPECT_EQ(job.result().head.method, RequestMethod::Get);
    EXPECT_EQ(job.listen_socket(), -1);
    EXPECT_EQ(job.listening_port(), 0);
    EXPECT_EQ(job.setup_error(), 0);
    EXPECT_FALSE(job.cancelled());
}

}  // namespace
}  // namespace postori
