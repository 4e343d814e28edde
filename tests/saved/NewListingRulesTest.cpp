#include "search/saved/NewListingRules.h"

#include "RunPages.h"
#include "SavedSearchTestTexts.h"
#include "search/saved/NewListingAlerts.h"
#include "search/saved/SavedSearchList.h"

#include <gtest/gtest.h>

namespace pelimo {
namespace {

using namespace std::chrono;
using namespace saved_search_test_text;
using namespace saved_search_test;

const SeenSet::Time t0 = sys_days{2026y / 12 / 8} + 9h;

TEST(NewListings, FirstRunIsSilentThenEachNewListingIsReportedOnce)
{
    struct Step {
        Pages pages;
        bool fails;
        std::vector<std::string> expectedNew;
        bool silent;
    };
    const Step steps[] = {
        {{{"a"}}, true, {}, true},                            // a first run cut short stays silent...
        {{{"a", "b"}, {"c"}}, false, {}, true},               // ...and so does the next, the first whole one
        {{{"a", "d", "b"}, {"d", "c"}}, false, {"d"}, false}, // twice in one run counts once
        {{{"d", "a"}, {"b", "c"}}, false, {}, false},
        {{{"e", "a"}}, true, {"e"}, false}, // found on a page a failed run did get
        {{{"e", "f"}}, false, {"f"}, false},
    };
    SavedSearch search;
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE("step " + std::to_string(i));
        const RunResult result = runPages(search, steps[i].pages, t0 + minutes(5 * i), steps[i].fails);
        EXPECT_EQ(result.newNumbers, steps[i].expectedNew);
        EXPECT_EQ(result.silent, steps[i].silent);
    }
}

TEST(NewListings, ForgottenOnlyAfterThirtyDaysUnseenByARunThatEndedWell)
{
    struct Case {
        int32_t days;  // from the first run to the next
        bool xInRun;   // "x" is back in that run already
        bool runFails; // that run fails
        bool xNewWhenBack;
    };
    const Case cases[] = {
        {29, false, false, false},
        {31, false, false, true},
        {31, false, true, false}, // a failed run forgets nothing
        {40, true, false, false}, // still there after the program was off for long: not new
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.days) + " days");
        SavedSearch search;
        runPages(search, {{"x", "y"}}, t0);
        const Pages later = c.xInRun ? Pages{{"x", "y"}} : Pages{{"y"}};
        const SeenSet::Time then = t0 + days(c.days);
        runPages(search, later, then, c.runFails);
        EXPECT_EQ(runPages(search, {{"x", "y"}}, then + 1h).newNumbers,
                  c.xNewWhenBack ? std::vector<std::string>{"x"} : std::vector<std::string>{});
    }
}

TEST(NewListings, ARunStopsAtItsPageLimit)
{
    struct Case {
        int32_t totalPages;
        int32_t pagesFetched;
        bool cut;
    };
    const Case cases[] = {{3, 3, false}, {100, 100, false}, {150, 100, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.totalPages);
        SavedSearchRun r;
        int32_t fetched = 0;
        for (bool more = true; more;) {
            ++fetched;
            std::vector<ItemInfo> page;
            for (int k = 0; k < 10; ++k)
                page.push_back(listing(std::to_string(fetched) + "-" + std::to_string(k)));
            more = r.addPage(page, fetched < c.totalPages);
        }
        EXPECT_EQ(fetched, c.pagesFetched);
        EXPECT_EQ(r.listings().size(), static_cast<size_t>(10 * c.pagesFetched));
        SavedSearch search;
        EXPECT_EQ(applyRun(search, r, t0).cutAtLimit, c.cut);
        EXPECT_FALSE(search.firstRunPending);
    }
}

TEST(SavedSearchList, AtMostTwentySearchesEachOnce)
{
    SavedSearchList list;
    SearchRequest request;
    for (size_t i = 0; i < SavedSearchList::kMaxSearches; ++i) {
        request.text = "word" + std::to_string(i);
        ASSERT_EQ(list.add(request), SavedSearchList::AddResult::added);
    }
    request.text = "one more";
    EXPECT_EQ(list.add(request), SavedSearchList::AddResult::full);

    SearchRequest same;
    same.text = "word3";
    same.auctionTypes = "NO,PA,FL,FP,GB"; // all types, as an empty list means
    same.page = 7;
    EXPECT_EQ(list.add(same), SavedSearchList::AddResult::alreadySaved);
    EXPECT_TRUE(list.remove(same));
    EXPECT_EQ(list.add(request), SavedSearchList::AddResult::added);
    EXPECT_TRUE(list.find(request)->firstRunPending);
    EXPECT_EQ(list.searches().size(), SavedSearchList::kMaxSearches);
}

TEST(NewListingAlerts, BalloonNamesTheFirstAndMailHasABlockPerSearch)
{
    SearchRequest camera, watch, quiet;
    camera.text = kKeywordCamera;
    watch.text = kKeywordWatch;
    quiet.text = "quiet";
    const std::string watched = "watched\nlines\n";

    NewListingAlerts none;
    none.add(quiet, {});
    EXPECT_EQ(none.balloonText(), "");
    EXPECT_EQ(none.mailText(watched), watched);

    NewListingAlerts alerts;
    alerts.add(camera, {listing("a1"), listing("a2")});
    alerts.add(quiet, {});
    alerts.add(watch, {listing("b1")});
    EXPECT_EQ(NewListingAlerts::balloonTitle(), std::string_view(kBalloonTitle));
    EXPECT_EQ(alerts.balloonText(), std::string(kAlarmLineA1) + kOthers2);
    EXPECT_EQ(alerts.firstNew().ItemNo, "a1");
    const std::string blocks = std::string(kHeadingCamera) + "\n" + kAlarmLineA1 + "\n" + kAlarmLineA2 +
                               "\n\n" + kHeadingWatch + "\n" + kAlarmLineB1 + "\n";
    EXPECT_EQ(alerts.mailText(watched), watched + "\n" + blocks);
    EXPECT_EQ(alerts.mailText(""), blocks);

    NewListingAlerts one;
    one.add(camera, {listing("a1")});
    EXPECT_EQ(one.balloonText(), kAlarmLineA1);
}

TEST(NewListingAlerts, ARelistingIsMarkedInItsLineWithTheEarlierFinalPrice)
{
    SearchRequest camera;
    camera.text = kKeywordCamera;
    const std::string note = NewListingAlerts::relistingNote(8800);
    EXPECT_NE(note.find("8800"), std::string::npos);
    EXPECT_NE(NewListingAlerts::relistingNote(std::nullopt), "");

    NewListingAlerts alerts;
    alerts.add(camera, {listing("a1"), listing("a2")},
               [&note](const ItemInfo& l) { return l.ItemNo == "a1" ? note : std::string(); });
    const std::string marked = std::string(kAlarmLineA1) + note;
    EXPECT_EQ(alerts.balloonText(), marked + kOthers1);
    EXPECT_EQ(alerts.mailText(""), std::string(kHeadingCamera) + "\n" + marked + "\n" + kAlarmLineA2 + "\n");
}

} // namespace
} // namespace pelimo
