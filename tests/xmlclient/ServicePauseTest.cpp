#include "xmlclient/ServicePause.h"

#include <chrono>
#include <ctime>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace pelimo {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

constexpr const char* kService = "http://listing.example:8931";

// Both clocks of a pause, set by the test: 2024-11-06 08:49:37.3 UTC on the wall.
struct SetClock {
    steady_clock::time_point steady{hours(1000)};
    system_clock::time_point wall = sys_days(2024y / November / 6) + 8h + 49min + 37300ms;

    ServicePause pause() const
    {
        return ServicePause([this] { return steady; }, [this] { return wall; });
    }
    void advance(milliseconds by)
    {
        steady += by;
        wall += by;
    }
};

std::optional<milliseconds> waitAfter(long status, std::optional<std::string> retryAfter)
{
    SetClock clock;
    ServicePause pause = clock.pause();
    const bool paused = pause.answered(std::string(kService) + "/bep/xml?tf=xml_lite3", status, retryAfter);
    const std::optional<ServiceWait> wait = pause.waitFor(kService);
    EXPECT_EQ(paused, wait.has_value());
    if (!wait)
        return std::nullopt;
    EXPECT_EQ(wait->resumesAt, clock.wall + wait->left) << "the wall clock says when the wait ends";
    return wait->left;
}

TEST(ServicePause, TheWaitFollowsTheAnswersStatusAndRetryAfter)
{
    const struct {
        const char* what;
        long status;
        std::optional<std::string> retryAfter;
        std::optional<milliseconds> wait; // nothing: the service may be asked at once
    } cases[] = {
        {"delay-seconds", 429, "120", 120s},
        {"blanks around the value", 429, " \t30 ", 30s},
        {"a date, the usual form", 429, "Wed, 06 Nov 2024 08:51:07 GMT", 90s},
        {"a date, the RFC 850 form", 429, "Wednesday, 06-Nov-24 08:51:07 GMT", 90s},
        {"a date, the asctime form", 429, "Wed Nov  6 08:51:07 2024", 90s},
        {"a date between two seconds rounds up", 429, "Wed, 06 Nov 2024 08:49:38 GMT", 1s},
        {"absent", 429, std::nullopt, 60s},
        {"empty", 429, "", 60s},
        {"not a number", 429, "soon", 60s},
        {"a number with more after it", 429, "12 seconds", 60s},
        {"negative", 429, "-5", 60s},
        {"a date that does not exist", 429, "Sat, 31 Nov 2024 08:51:07 GMT", 60s},
        {"a date in another zone", 429, "Wed, 06 Nov 2024 08:51:07 CET", 60s},
        {"over an hour", 429, "7200", 3600s},
        {"beyond any number", 429, "99999999999999999999999999", 3600s},
        {"a date next year", 429, "Thu, 06 Nov 2025 08:49:37 GMT", 3600s},
        {"now", 429, "0", 1s},
        {"a date past", 429, "Sun, 06 Nov 1994 08:49:37 GMT", 1s},
        {"unavailable, with a wait", 503, "10", 10s},
        {"unavailable, without", 503, std::nullopt, 60s},
        {"an answer", 200, "10", std::nullopt},
        {"a server error", 500, "10", std::nullopt},
        {"no answer at all", 0, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(waitAfter(c.status, c.retryAfter), c.wait) << c.what;
}

TEST(ServicePause, AWaitHoldsItsServiceOnlyAndEndsOnTime)
{
    SetClock clock;
    ServicePause pause = clock.pause();
    ASSERT_TRUE(pause.answered("HTTP://Listing.Example:8931/bep/xml?keyword=a", 429, "30"));

    EXPECT_TRUE(pause.waitFor("http://listing.example:8931/bep/xml?tf=xml_lite3&exhibit_id=1"));
    EXPECT_TRUE(pause.waitFor("http://listing.example:8931/"));
    EXPECT_FALSE(pause.waitFor("http://listing.example:8932")) << "another port is another service";
    EXPECT_FALSE(pause.waitFor("https://listing.example:8931")) << "another scheme too";
    EXPECT_FALSE(pause.waitFor("http://other.example:8931"));

    clock.advance(29999ms);
    ASSERT_TRUE(pause.waitFor(kService));
    EXPECT_EQ(pause.waitFor(kService)->left, 1ms);
    clock.advance(1ms);
    EXPECT_FALSE(pause.waitFor(kService));
}

TEST(ServicePause, ALaterAnswerNeverShortensAWait)
{
    SetClock clock;
    ServicePause pause = clock.pause();
    pause.answered(kService, 429, "600");
    clock.advance(100s);
    pause.answered(kService, 503, "5");
    EXPECT_EQ(pause.waitFor(kService)->left, 500s);
    pause.answered(kService, 429, "1200");
    EXPECT_EQ(pause.waitFor(kService)->left, 1200s);
    // An answer of a request sent before the wait began ends nothing either.
    pause.answered(kService, 200, std::nullopt);
    EXPECT_EQ(pause.waitFor(kService)->left, 1200s);
}

TEST(ServicePause, TheWallClockNeitherEndsNorStretchesAWait)
{
    SetClock clock;
    ServicePause pause = clock.pause();
    pause.answered(kService, 429, "60");
    clock.wall -= 2h; // the computer's clock is set back
    EXPECT_EQ(pause.waitFor(kService)->left, 60s);
    clock.wall += 5h;
    clock.steady += 60s;
    EXPECT_FALSE(pause.waitFor(kService));
}

TEST(ServicePause, TheStatusLineNamesTheLocalTimeRequestsResumeNeverEarlier)
{
    const system_clock::time_point whole = floor<seconds>(system_clock::now()) + 10min;
    const std::time_t shown = system_clock::to_time_t(whole + 1s);
    std::tm local{};
    localtime_r(&shown, &local);
    char clock[16];
    std::strftime(clock, sizeof clock, "%H:%M:%S", &local);

    const std::string status = servicePauseStatus(whole + 200ms);
    EXPECT_NE(status.find(clock), std::string::npos) << status;
}

} // namespace
} // namespace pelimo
