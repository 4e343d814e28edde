#include "watch/AlarmRules.h"

#include "TestTexts.h"
#include "WatchTexts.h"
#include "notify/AlarmText.h"
#include "platform/text/TextFill.h"

#include <gtest/gtest.h>

namespace pelimo {
namespace {

using namespace watch_test_text;

EnvSettings rulesOn(int32_t remain, int32_t price, int32_t minutes = 5)
{
    EnvSettings s;
    s.alarmOnRemainingTime = remain;
    s.alarmOnPriceChange = price;
    s.remainingTimeMinutes = minutes;
    return s;
}

ItemInfo listing(const std::string& no, const std::string& price, const std::string& remain)
{
    return ItemInfo{no, kNameCamera, price, "NO", "", "1", "1", remain};
}

TEST(CheckAlarm, RemainingTimeAgainstTheThreshold)
{
    struct Case {
        const char* remain;
        int32_t minutes;
        int32_t flagOn;
        int32_t expected;
    };
    const Case cases[] = {
        {kRemain5Min, 5, 1, 1},  {kRemain6Min, 5, 1, 0},  {kRemain0Min, 5, 1, 0},
        {kRemain30Sec, 5, 1, 1}, {kRemain30Sec, 0, 1, 0}, {"30", 5, 1, 0},
        {"-", 5, 1, 0},          {kRemain5Min, 5, 0, 0},  {kRemain3Day, 5, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.remain) + " threshold " + std::to_string(c.minutes));
        AramEntry entry{0, listing("1", "100", c.remain)};
        EXPECT_EQ(checkAlarm(entry, listing("1", "100", c.remain), rulesOn(c.flagOn, 1, c.minutes)),
                  c.expected);
        EXPECT_EQ(entry.flags, c.expected ? kRemainAlarm : 0);
    }
}

TEST(CheckAlarm, PriceChangeComparesTheTextsAsReceived)
{
    AramEntry entry{kBalloonNotified | kMailCollected | kRemainAlarm, listing("1", kPriceYen1000, "-")};
    // "1000" and "1000円" are different texts although the same number.
    EXPECT_EQ(checkAlarm(entry, listing("1", "1000", "-"), rulesOn(1, 1)), 1);
    EXPECT_EQ(entry.flags, kBalloonNotified | kMailCollected | kPriceAlarm);
    EXPECT_EQ(checkAlarm(entry, listing("1", kPriceYen1000, "-"), rulesOn(1, 1)), 0);
    EXPECT_EQ(entry.flags, kBalloonNotified | kMailCollected);
    EXPECT_EQ(checkAlarm(entry, listing("1", "9", "-"), rulesOn(1, 0)), 0);
}

// The notification rules over several cycles of one entry, as the cycle applies them.
TEST(AlarmCollection, EpisodesNotifyOncePerRemainingTimeEpisodeAndAtEveryPriceChange)
{
    const EnvSettings s = rulesOn(1, 1);
    AramEntry entry{0, listing("1", "100", "2" + std::string(kRemain3Day))};
    auto cycle = [&](const ItemInfo& fresh) {
        AlarmCollection c;
        c.addUpdated(entry, fresh, checkAlarm(entry, fresh, s));
        return c;
    };
    struct Step {
        const char* price;
        const char* remain;
        int32_t alarms;
        int32_t newlyNotified;
    };
    const Step steps[] = {
        {"100", kRemain6Min, 0, 0},  // out of range
        {"100", kRemain5Min, 1, 1},  // enters the episode
        {"100", kRemain30Sec, 1, 0}, // stays in it: no second notice
        {"110", kRemain30Sec, 1, 1}, // a price change notifies
        {"120", kRemain30Sec, 1, 1}, // and the next one again
        {"120", kRemain0Min, 0, 0},  // ends the episode
        {"120", kRemain30Sec, 1, 1}, // a new one notifies again
    };
    for (const Step& st : steps) {
        SCOPED_TRACE(std::string(st.price) + " " + st.remain);
        const AlarmCollection c = cycle(listing("1", st.price, st.remain));
        EXPECT_EQ(c.alarmCount(), st.alarms);
        EXPECT_EQ(c.newCount(), st.newlyNotified);
        EXPECT_EQ(c.mailText().empty(), st.newlyNotified == 0);
        EXPECT_EQ(entry.info.CurrentPrice, st.price);
    }
}

TEST(AlarmCollection, BalloonNamesTheFirstNewAlarmAndCountsTheOthers)
{
    const EnvSettings s = rulesOn(1, 0);
    AlarmCollection c;
    AramEntry old{kBalloonNotified | kMailCollected, listing("0", "1", kRemain5Min)};
    c.addUpdated(old, old.info, checkAlarm(old, old.info, s)); // in alarm since before
    std::vector<AramEntry> fresh;
    for (const char* no : {"x1", "x2", "x3"})
        fresh.push_back(AramEntry{0, listing(no, kPriceYen1000, kRemain5Min)});
    for (AramEntry& e : fresh)
        c.addUpdated(e, e.info, checkAlarm(e, e.info, s));

    EXPECT_EQ(c.alarmCount(), 4);
    EXPECT_EQ(c.balloonText(), std::string(kAlarmLineCamera) + kOthers2);
    EXPECT_EQ(c.mailText(), alarmLine(fresh[0].info) + "\n" + alarmLine(fresh[1].info) + "\n" +
                                alarmLine(fresh[2].info) + "\n");
}

TEST(AlarmCollection, PriceCeilingAlarmsOncePerCrossingWhateverThePriceRuleSays)
{
    const EnvSettings s = rulesOn(0, 0);
    AramEntry entry{0, listing("c", "4000", kRemain3Day)};
    const std::string ceilingLine = "\n" + fillText(watch_text::kCeilingLine, {5000LL});
    struct Step {
        const char* price;
        bool inAlarm;
        bool notified;
    };
    const Step steps[] = {
        {"4000", false, false}, {"5000", false, false},     // at the ceiling is not above it
        {"5100", true, true},                               // crosses
        {"6000", true, false},                              // stays above: no second notice
        {"4800", false, false},                             // falls back
        {"5200", true, true},                               // a new crossing
        {"4900", false, false}, {"12,800", true, true},     // thousands grouped by commas
        {"4900", false, false}, {"5500 (tax)", true, true}, // other texts: by their leading number
    };
    for (const Step& st : steps) {
        SCOPED_TRACE(st.price);
        const ItemInfo fresh = listing("c", st.price, kRemain3Day);
        AlarmCollection c;
        c.addUpdated(entry, fresh, checkAlarm(entry, fresh, s, 5000), 5000);
        EXPECT_EQ(entry.inAlarm(), st.inAlarm);
        EXPECT_EQ(c.mailText(), st.notified ? alarmLine(fresh) + ceilingLine + "\n" : "");
        EXPECT_EQ(c.balloonText(), st.notified ? alarmLine(fresh) + ceilingLine : "");
        EXPECT_EQ(c.firstMailedItemNo(), st.notified ? "c" : "");
    }
}

} // namespace
} // namespace pelimo
