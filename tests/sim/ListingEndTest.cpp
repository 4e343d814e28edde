// Listings end: by their remaining time on the simulator's clock, or at once through the
// control endpoint, and are then reported nowhere, as by the real service.
#include "SimTestTexts.h"
#include "tests/sim/SimAnswers.h"

#include <algorithm>
#include <set>

namespace pelimo::test {
namespace {

constexpr int64_t kDay = 86400;

std::set<std::string> numbers(const std::vector<Item>& items)
{
    std::set<std::string> out;
    for (const Item& item : items)
        EXPECT_TRUE(out.insert(item.ItemNo).second) << item.ItemNo << " reported twice";
    return out;
}

class ListingEnd : public ListingSim {
protected:
    void advance(int64_t seconds)
    {
        ASSERT_EQ(sim->control("/sim/advance?seconds=" + std::to_string(seconds)), "ok\n");
    }
    bool searchFinds(const std::string& keyword, const std::string& itemNo)
    {
        const auto items = allPages(*sim, keyword, "");
        return std::any_of(items.begin(), items.end(),
                           [&](const Item& item) { return item.ItemNo == itemNo; });
    }
};

TEST_F(ListingEnd, PinnedListingsEndWhenTheLongestTimeTheirRemainingTimeAllowsHasPassed)
{
    struct Case {
        std::string remain;
        int64_t stillThereAfter; // -1: ended at once
        int64_t goneAfter;       // -1: never ends
    };
    const Case cases[] = {
        {u8(texts::kZeroSeconds), -1, 0},
        {u8(texts::kThirtySeconds), 20, 35},
        {u8(texts::kZeroMinutes), 40, 65}, // under a minute is still "0 minutes"
        {u8(texts::kTwoDaysThreeHours), 2 * kDay + 3 * 3600 + 1800, 2 * kDay + 4 * 3600 + 10},
        {"3", 365 * kDay, -1}, // not the service's form: pinned as it is
        {"-", 365 * kDay, -1},
    };
    const std::string title = u8(texts::kPinnedTitle);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remain);
        ASSERT_EQ(sim->control("/sim/reset"), "ok\n");
        pin("8000000020", title, u8(texts::kPinnedPrice), c.remain);
        int64_t moved = 0;
        if (c.stillThereAfter >= 0) {
            ASSERT_NO_FATAL_FAILURE(advance(c.stillThereAfter));
            moved = c.stillThereAfter;
            const auto item = reported(*sim, "8000000020");
            ASSERT_TRUE(item);
            EXPECT_EQ(item->RemainTime, c.remain);
            EXPECT_TRUE(searchFinds(title, "8000000020"));
        }
        if (c.goneAfter < 0)
            continue;
        ASSERT_NO_FATAL_FAILURE(advance(c.goneAfter - moved));
        EXPECT_FALSE(reported(*sim, "8000000020"));
        EXPECT_FALSE(searchFinds(title, "8000000020"));
        EXPECT_EQ(sim->control("/sim/ended"), "8000000020\t12800\t3\n");
    }
}

TEST_F(ListingEnd, EndingAListingAtOnceTakesItFromQueriesAndSearchesWithItsFinalPrice)
{
    const std::string camera = u8(texts::kCamera);
    const auto before = allPages(*sim, camera, "");
    ASSERT_GT(before.size(), 10u);
    const std::string listed = before[5].ItemNo;
    pin("8000000021", u8(texts::kPinnedTitle), u8(texts::kPinnedPrice), u8(texts::kFiveMinutes));

    ASSERT_EQ(sim->control("/sim/end?ItemNo=" + listed + "&price=99999&bids=40"), "ok\n");
    advance(30);
    ASSERT_EQ(sim->control("/sim/end?ItemNo=8000000021"), "ok\n"); // at the price it has
    EXPECT_FALSE(reported(*sim, listed));
    EXPECT_FALSE(reported(*sim, "8000000021"));
    const auto after = allPages(*sim, camera, "");
    EXPECT_EQ(after.size(), before.size() - 1);
    EXPECT_EQ(numbers(after).count(listed), 0u);
    EXPECT_FALSE(searchFinds(u8(texts::kPinnedTitle), "8000000021"));
    EXPECT_EQ(sim->control("/sim/ended"), listed + "\t99999\t40\n8000000021\t12800\t3\n");
    EXPECT_EQ(sim->control("/sim/ended?ItemNo=" + listed), listed + "\t99999\t40\n");

    // The site keeps the ended listing's page, with the price it ended at.
    const Fetched page = get(*sim, "/aff/t/m/WS/pitem_GK" + listed);
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("99999"), std::string::npos);

    // An ended or unknown listing cannot end again, nor one at a price that is not a number.
    for (const std::string& refused :
         {"/sim/end?ItemNo=" + listed, std::string("/sim/end?ItemNo=1"), std::string("/sim/end?ItemNo="),
          "/sim/end?ItemNo=" + before[6].ItemNo + "&price=12a",
          "/sim/end?ItemNo=" + before[6].ItemNo + "&bids=-1"})
        EXPECT_FALSE(sim->control(refused)) << refused;
    EXPECT_TRUE(reported(*sim, before[6].ItemNo));

    ASSERT_EQ(sim->control("/sim/reset"), "ok\n");
    EXPECT_TRUE(reported(*sim, listed));
    EXPECT_EQ(sim->control("/sim/ended"), "");
}

TEST_F(ListingEnd, TheCatalogueHoldsStillAQuarterHourThenTurnsOverKeepingItsSize)
{
    const auto first = allPages(*sim, "", "");
    const std::set<std::string> atStart = numbers(first);
    ASSERT_GT(atStart.size(), 2000u);

    advance(14 * 60);
    EXPECT_EQ(numbers(allPages(*sim, "", "")), atStart);

    advance(3 * kDay);
    const auto later = allPages(*sim, "", "");
    const std::set<std::string> then = numbers(later);
    std::vector<std::string> gone, fresh;
    std::set_difference(atStart.begin(), atStart.end(), then.begin(), then.end(), std::back_inserter(gone));
    std::set_difference(then.begin(), then.end(), atStart.begin(), atStart.end(), std::back_inserter(fresh));
    EXPECT_GT(gone.size(), atStart.size() / 10);
    EXPECT_GT(fresh.size(), atStart.size() / 10);
    EXPECT_GT(then.size(), atStart.size() * 9 / 10);
    EXPECT_LT(then.size(), atStart.size() * 11 / 10);
    // New listings take new numbers, above those of the catalogue's start, and run until
    // their own end.
    std::string highestAtStart;
    for (const std::string& no : atStart)
        if (no.starts_with("31"))
            highestAtStart = std::max(highestAtStart, no);
    ASSERT_FALSE(fresh.empty());
    for (const std::string& no : fresh)
        EXPECT_GT(no, highestAtStart);
    for (const Item& item : later)
        EXPECT_GT(secondsLeft(item.RemainTime), 0) << item.ItemNo << ' ' << item.RemainTime;
    EXPECT_TRUE(reported(*sim, fresh.front()));
    EXPECT_FALSE(reported(*sim, gone.front()));
    EXPECT_TRUE(sim->control("/sim/ended?ItemNo=" + gone.front()));
}

} // namespace
} // namespace pelimo::test
