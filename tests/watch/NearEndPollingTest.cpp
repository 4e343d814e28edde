#include "watch/NearEndPolling.h"

#include "TestTexts.h"

#include <gtest/gtest.h>

namespace pelimo {
namespace {

using namespace watch_test_text;
using std::chrono::minutes;
using std::chrono::seconds;

TEST(NearEndPolling, SettingsAreClampedToTheirRanges)
{
    struct Case {
        NearEndSettings in;
        NearEndSettings out;
    };
    const Case cases[] = {
        {{}, {0, 30, 60}},
        {{1, 0, 10}, {1, 1, 30}},
        {{1, 5000, 99999}, {1, 1440, 3600}},
        {{7, -3, -3}, {0, 1, 30}},
    };
    for (const Case& c : cases) {
        const NearEndSettings s = c.in.clamped();
        EXPECT_EQ(s.enabled, c.out.enabled);
        EXPECT_EQ(s.targetMinutes, c.out.targetMinutes);
        EXPECT_EQ(s.intervalSeconds, c.out.intervalSeconds);
    }
}

TEST(NearEndPolling, NearTheEndCountsDownFromTheFetch)
{
    struct Case {
        const char* remain;
        minutes since;
        bool nearEnd;
    };
    const Case cases[] = {
        {kRemain30Min, minutes(0), true},  // at the target
        {kRemain2Hour, minutes(0), false}, // not yet
        {kRemain2Hour, minutes(90), true}, // counted down to 30 minutes
        {kRemain5Min, minutes(10), true},  // run out, one last look
        {kRemain0Min, minutes(0), false},  // the service said it is over
        {"-", minutes(0), false},          // no time known
    };
    const NearEndPolling::Clock::time_point t0{};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.remain) + " after " + std::to_string(c.since.count()) + " min");
        NearEndPolling polling;
        polling.fetched("x", c.remain, t0);
        EXPECT_EQ(polling.isNearEnd("x", 30, t0 + c.since), c.nearEnd);
    }
    EXPECT_FALSE(NearEndPolling().isNearEnd("unknown", 30, t0));
}

TEST(NearEndPolling, FailureEndsAListingOnlyOnceItsTimeRanOut)
{
    const NearEndPolling::Clock::time_point t0{};
    NearEndPolling polling;
    polling.fetched("x", kRemain5Min, t0);
    EXPECT_FALSE(polling.endedAfterFailure("x", t0 + seconds(299)));
    EXPECT_FALSE(polling.isEnded("x"));
    EXPECT_TRUE(polling.endedAfterFailure("x", t0 + seconds(300)));
    EXPECT_TRUE(polling.isEnded("x"));
    EXPECT_FALSE(polling.isNearEnd("x", 30, t0 + seconds(300)));
    // Extended after all: live again.
    polling.fetched("x", kRemain5Min, t0 + seconds(400));
    EXPECT_FALSE(polling.isEnded("x"));
    EXPECT_FALSE(NearEndPolling().endedAfterFailure("unknown", t0));
}

} // namespace
} // namespace pelimo
