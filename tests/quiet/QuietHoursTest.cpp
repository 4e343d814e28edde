#include "notify/quiet/QuietHours.h"

#include "platform/text/SjisText.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace pelimo {
namespace {

// Japan's zone, and a zone with daylight saving time written as a POSIX rule (no zone files
// needed): CET, CEST from the last Sunday of March 02:00 to the last Sunday of October 03:00.
constexpr const char* kJapan = "JST-9";
constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

std::time_t utc(int year, int month, int day, int hour, int minute, int second = 0)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return ::timegm(&tm);
}

QuietHoursSettings period(const char* start, const char* end, bool nearEndGoOut = true)
{
    return QuietHoursSettings{true, *parseClockTime(start), *parseClockTime(end), nearEndGoOut};
}

// Runs each test in a zone of its choosing and gives the machine's zone back afterwards.
class QuietHoursTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        saved ? ::setenv("TZ", saved->c_str(), 1) : ::unsetenv("TZ");
        ::tzset();
    }
    void inZone(const char* zone)
    {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }

private:
    std::optional<std::string> saved = [] {
        const char* tz = std::getenv("TZ");
        return tz ? std::optional<std::string>(tz) : std::nullopt;
    }();
};

TEST(ClockTimeTest, ReadsHoursAndMinutesAsTypedAndNothingElse)
{
    struct Case {
        const char* typed;
        std::optional<int> minute;
    };
    const Case cases[] = {
        {"22:00", 22 * 60},         {"07:05", 7 * 60 + 5},
        {"7:05", 7 * 60 + 5},       {"00:00", 0},
        {" 23:59 ", 23 * 60 + 59},  {"０７：３０", 7 * 60 + 30},
        {"　6:00　", 6 * 60},       {"24:00", std::nullopt},
        {"12:60", std::nullopt},    {"1:5", std::nullopt},
        {"123:00", std::nullopt},   {"12:00:00", std::nullopt},
        {"12-00", std::nullopt},    {"1200", std::nullopt},
        {"-1:00", std::nullopt},    {"12 :00", std::nullopt},
        {"午前7:00", std::nullopt}, {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseClockTime(platform::utf8ToSjis(c.typed)), c.minute) << '"' << c.typed << '"';

    for (int minute = 0; minute < 24 * 60; ++minute)
        ASSERT_EQ(parseClockTime(clockTimeText(minute)), minute) << clockTimeText(minute);
    EXPECT_EQ(clockTimeText(7 * 60 + 5), "07:05");
}

TEST(ClockTimeTest, StoredSettingsThatCannotBeReadHoldNothing)
{
    QuietHoursRead read = readQuietHours(1, "22:00", "07:00", 1);
    EXPECT_EQ(read.settings, period("22:00", "07:00", true));
    EXPECT_EQ(read.invalid, std::nullopt);

    read = readQuietHours(1, "22:00", "7時", 0);
    EXPECT_FALSE(read.settings.enabled) << "alarms are told as if there were no quiet period";
    EXPECT_EQ(read.invalid, QuietHoursField::end);
    EXPECT_EQ(readQuietHours(1, "", "", 1).invalid, QuietHoursField::start);

    // Flags are on only when exactly 1, as every flag of the settings file.
    EXPECT_FALSE(readQuietHours(2, "22:00", "07:00", 1).settings.enabled);
    EXPECT_EQ(readQuietHours(0, "", "", 1).invalid, std::nullopt) << "nothing to say while it is off";
    EXPECT_FALSE(readQuietHours(1, "22:00", "07:00", 2).settings.nearEndAlarmsGoOut);
    EXPECT_TRUE(readQuietHours(1, "22:00", "07:00", 1).settings.nearEndAlarmsGoOut);
}

TEST_F(QuietHoursTest, APeriodAcrossMidnightHoldsUntilItsEndOnTheLocalClock)
{
    inZone(kJapan); // local = UTC + 9
    const QuietHours night(period("22:00", "07:00"));
    const auto local = [](int day, int hour, int minute, int second = 0) {
        return utc(2024, 6, day, hour, minute, second) - 9 * 3600;
    };
    EXPECT_FALSE(night.isQuietAt(local(10, 21, 59, 59)));
    EXPECT_TRUE(night.isQuietAt(local(10, 22, 0)));
    EXPECT_EQ(night.periodEndAfter(local(10, 22, 0)), local(11, 7, 0)) << "ends the next morning";
    EXPECT_EQ(night.periodEndAfter(local(10, 23, 59, 59)), local(11, 7, 0));
    EXPECT_EQ(night.periodEndAfter(local(11, 3, 12, 40)), local(11, 7, 0));
    EXPECT_EQ(night.periodEndAfter(local(11, 6, 59, 59)), local(11, 7, 0));
    EXPECT_FALSE(night.isQuietAt(local(11, 7, 0)));
    EXPECT_EQ(night.periodEndAfter(local(11, 7, 0)), std::nullopt);
    EXPECT_FALSE(night.isQuietAt(local(11, 12, 0)));

    const QuietHours day(period("09:00", "17:30"));
    EXPECT_FALSE(day.isQuietAt(local(10, 8, 59)));
    EXPECT_EQ(day.periodEndAfter(local(10, 9, 0)), local(10, 17, 30));
    EXPECT_FALSE(day.isQuietAt(local(10, 17, 30)));
    EXPECT_FALSE(day.isQuietAt(local(10, 23, 0)));
}

TEST_F(QuietHoursTest, AnEmptyOrSwitchedOffPeriodNeverHolds)
{
    inZone(kJapan);
    QuietHoursSettings off = period("22:00", "07:00");
    off.enabled = false;
    const QuietHours switchedOff(off);
    const QuietHours empty(period("22:00", "22:00"));
    for (int minute = 0; minute < 24 * 60; minute += 7) {
        const std::time_t at = utc(2024, 6, 10, 0, 0) + minute * 60;
        EXPECT_FALSE(switchedOff.isQuietAt(at));
        EXPECT_FALSE(empty.isQuietAt(at));
        EXPECT_EQ(empty.periodEndAfter(at), std::nullopt);
    }
}

TEST_F(QuietHoursTest, WhereClocksChangeThePeriodFollowsTheWallClock)
{
    inZone(kCentralEurope);
    // Spring: on 31 March 2024 the clock goes from 02:00 CET (01:00 UTC) to 03:00 CEST.
    const QuietHours night(period("23:00", "06:00"));
    ASSERT_TRUE(night.isQuietAt(utc(2024, 3, 30, 22, 0))); // 23:00 CET
    EXPECT_EQ(night.periodEndAfter(utc(2024, 3, 30, 22, 0)), utc(2024, 3, 31, 4, 0)) << "06:00 CEST";
    // An end the clock jumps over ends the period at the jump.
    const QuietHours early(period("01:00", "02:30"));
    EXPECT_EQ(early.periodEndAfter(utc(2024, 3, 31, 0, 30)), utc(2024, 3, 31, 1, 0));
    EXPECT_FALSE(early.isQuietAt(utc(2024, 3, 31, 1, 0))) << "03:00 CEST";

    // Autumn: on 27 October 2024 the clock goes from 03:00 CEST (01:00 UTC) back to 02:00 CET.
    EXPECT_EQ(night.periodEndAfter(utc(2024, 10, 26, 21, 0)), utc(2024, 10, 27, 5, 0)) << "06:00 CET";
    // 01:00 to 02:30 passes once in summer time, then again for half an hour in winter time.
    EXPECT_EQ(early.periodEndAfter(utc(2024, 10, 26, 23, 30)), utc(2024, 10, 27, 0, 30));
    EXPECT_FALSE(early.isQuietAt(utc(2024, 10, 27, 0, 45))) << "02:45 CEST";
    EXPECT_TRUE(early.isQuietAt(utc(2024, 10, 27, 1, 10))) << "02:10 CET";
    EXPECT_EQ(early.periodEndAfter(utc(2024, 10, 27, 1, 10)), utc(2024, 10, 27, 1, 30));
}

TEST_F(QuietHoursTest, NearEndAlarmsGoOutUnlessTheUserHoldsThemToo)
{
    inZone(kJapan);
    std::time_t now = utc(2024, 6, 11, 6, 59, 30) - 9 * 3600; // 06:59:30 local
    const auto clock = [&now] {
        return now;
    };
    QuietHours quiet(period("22:00", "07:00", true), clock);
    EXPECT_TRUE(quiet.holds(AlarmKind::other));
    EXPECT_FALSE(quiet.holds(AlarmKind::nearEnd));
    EXPECT_EQ(quiet.untilPeriodEnd(), std::chrono::seconds(30));

    quiet.setSettings(period("22:00", "07:00", false));
    EXPECT_TRUE(quiet.holds(AlarmKind::nearEnd));

    now += 30;
    EXPECT_FALSE(quiet.holds(AlarmKind::other));
    EXPECT_FALSE(quiet.holds(AlarmKind::nearEnd));
    EXPECT_EQ(quiet.untilPeriodEnd(), std::nullopt);
}

} // namespace
} // namespace pelimo
