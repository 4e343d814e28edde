#include "HistoryTestTexts.h"
#include "StoreFixture.h"
#include "history/ArchiveFilter.h"
#include "history/PriceStats.h"

#include <algorithm>

namespace pelimo::history_test {
namespace {

using namespace history_test_text;

class HistoryStoreTest : public StoreFixture {};

std::vector<int64_t> pricesOf(const ListingHistory& history)
{
    std::vector<int64_t> prices;
    for (const Observation& o : history.observations)
        prices.push_back(o.price.value_or(-1));
    return prices;
}

TEST_F(HistoryStoreTest, ObservationsAreKeptWhenPriceOrBidsChangeWithTheFirstAndTheLatest)
{
    open();
    // Polled every five minutes: unchanged, a new price and bid, a bid alone, unchanged again.
    struct Poll {
        const char* price;
        const char* bids;
        const char* remain;
        int32_t newRows;
    };
    const Poll polls[] = {
        {kPrice1000, "0", kRemain3Days, 1},     {kPrice1000, "0", kRemain3Days, 0},
        {kPrice1000, "0", kRemain3Days, 0},     {kPrice1200, "1", kRemain3Days, 1},
        {kPrice1200, "2", kRemain2Hours, 1},    {kPrice1200, "2", kRemain2Hours, 0},
        {kPrice1200, "2", kRemain10Minutes, 0},
    };
    for (const Poll& p : polls) {
        EXPECT_EQ(watchPass({listing("a1", kTitleCamera, p.price, p.bids, p.remain)}).observations,
                  p.newRows);
        now += 5min;
    }
    const HistoryTime last = now - 5min;

    const ListingHistory history = store.listingHistory("a1");
    ASSERT_TRUE(history.known);
    EXPECT_EQ(pricesOf(history), (std::vector<int64_t>{1000, 1200, 1200, 1200}));
    ASSERT_EQ(history.observations.size(), 4u);
    EXPECT_EQ(history.observations[0].at, kStart);
    EXPECT_EQ(history.observations[1].at, kStart + 15min);
    EXPECT_EQ(history.observations[2].bids, 2);
    // The latest poll closes the line with what the service said then.
    EXPECT_EQ(history.observations[3].at, last);
    EXPECT_EQ(history.observations[3].remainTime, kRemain10Minutes);

    const std::vector<Sparkline> lines = store.sparklines({"a1", "never-seen"}, 50);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].first, 1000);
    EXPECT_EQ(lines[0].lowest, 1000);
    EXPECT_EQ(lines[0].highest, 1200);
    EXPECT_EQ(lines[0].changes, 1);
    EXPECT_FALSE(lines[1].first.has_value());

    // After a restart an unchanged poll still adds no row: what the file holds is compared.
    restart();
    EXPECT_EQ(watchPass({listing("a1", kTitleCamera, kPrice1200, "2", kRemain30Seconds)}).observations, 0);
    EXPECT_EQ(store.listingHistory("a1").observations.size(), 4u);
    EXPECT_EQ(store.listingHistory("a1").observations.back().at, now);
}

TEST_F(HistoryStoreTest, PruningDropsOldObservationsAndForgottenListingsButKeepsTheArchive)
{
    open();
    const ListingOrigin search = ListingOrigin::savedSearch(kKeywordLens);
    watchPass({listing("ended", kTitleCamera, kPrice1000, "3", kRemain10Minutes),
               listing("gone", kTitleLens, kPrice1000, "0", kRemain3Days),
               listing("kept", kTitleLens, kPrice1000, "0", kRemain3Days)});
    pass(search, {listing("found", kTitleLens, kPrice1200, "0", kRemain3Days)});
    now += 20min;
    HistoryBatch batch = store.openBatch(ListingOrigin::watchList());
    batch.archiveEnded("ended");
    EXPECT_EQ(store.commit(batch).archived, 1);

    // A listing still watched a year later: its old observations go, its recent ones stay.
    now = kStart + 400 * 24h;
    watchPass({listing("kept", kTitleLens, kPrice1200, "1", kRemain2Hours)});
    now += 1h;
    const HistoryFileOpen reopened = restart(365);
    EXPECT_EQ(reopened.outcome, HistoryFileOpen::Outcome::opened);

    const std::vector<ArchiveRow> archive = store.archiveRows();
    ASSERT_EQ(archive.size(), 1u);
    EXPECT_EQ(archive[0].itemNo, "ended");
    EXPECT_EQ(archive[0].finalPrice, 1000);
    EXPECT_EQ(archive[0].bids, 3);
    EXPECT_EQ(store.listingHistory("ended").observations.size(), 1u) << "the final sighting stays";

    EXPECT_FALSE(store.listingHistory("gone").known);
    EXPECT_FALSE(store.listingHistory("found").known);
    EXPECT_EQ(pricesOf(store.listingHistory("kept")), (std::vector<int64_t>{1200}));
    EXPECT_TRUE(store.listingsPastEnd(kKeywordLens, now).empty());
}

TEST_F(HistoryStoreTest, EndedListingsAreArchivedConfirmedByTheWatchListAndPresumedBySavedSearches)
{
    open();
    const ListingOrigin camera = ListingOrigin::savedSearch(kKeywordCamera);
    watchPass({listing("w1", kTitleCamera, kPrice1000, "4", kRemain10Minutes)});
    pass(camera, {listing("s1", kTitleCamera, kPrice1200, "2", kRemain10Minutes),
                  listing("s2", kTitleLens, kPrice1000, "0", kRemain3Days)});
    now += 4min;
    watchPass({listing("w1", kTitleCamera, kPrice1200, "5", kRemain2Hours)}); // extended
    now += 30min;
    // The saved search's run no longer reports s1, whose time has run out; s2 still has days.
    EXPECT_EQ(store.listingsPastEnd(kKeywordCamera, now), std::vector<std::string>{"s1"});
    HistoryBatch run = store.openBatch(camera);
    run.record(listing("s2", kTitleLens, kPrice1000, "0", kRemain3Days));
    run.archiveUnreported("s1");
    EXPECT_EQ(store.commit(run).archived, 1);
    // The watch list's fetch of w1 fails after its time ran out.
    now += 2h;
    HistoryBatch cycle = store.openBatch(ListingOrigin::watchList());
    cycle.record(listing("w1", kTitleCamera, "-", "-", "-")); // what a failed fetch leaves
    cycle.archiveEnded("w1");
    cycle.archiveEnded("never-seen");
    EXPECT_EQ(store.commit(cycle).archived, 1);

    std::vector<ArchiveRow> rows = store.archiveRows();
    ASSERT_EQ(rows.size(), 2u);
    std::sort(rows.begin(), rows.end(),
              [](const ArchiveRow& a, const ArchiveRow& b) { return a.itemNo < b.itemNo; });
    EXPECT_EQ(rows[0].itemNo, "s1");
    EXPECT_FALSE(rows[0].confirmed);
    EXPECT_EQ(rows[0].finalPrice, 1200);
    EXPECT_EQ(rows[0].origin.keyword, kKeywordCamera);
    EXPECT_EQ(rows[0].endedAt, kStart + 10min) << "the end its last remaining time promised";
    EXPECT_TRUE(rows[1].confirmed);
    EXPECT_EQ(rows[1].origin.kind, ListingOrigin::Kind::watchList);
    EXPECT_EQ(rows[1].finalPrice, 1200);
    EXPECT_EQ(rows[1].bids, 5);
    EXPECT_EQ(rows[1].endedAt, kStart + 4min + 2h);

    // A presumed end never overwrites a confirmed one; a confirmed one replaces a presumed one.
    HistoryBatch late = store.openBatch(camera);
    late.archiveUnreported("w1");
    EXPECT_EQ(store.commit(late).archived, 0);
    watchPass({listing("s1", kTitleCamera, kPrice1200, "2", "0")});
    HistoryBatch seen = store.openBatch(ListingOrigin::watchList());
    seen.archiveEnded("s1");
    EXPECT_EQ(store.commit(seen).archived, 1);
    EXPECT_TRUE(store.archiveRows()[0].confirmed);

    // A listing reported with time left after it was taken for ended had not ended.
    now += 5min;
    pass(camera, {listing("s1", kTitleCamera, kPrice1200, "2", kRemain10Minutes)});
    EXPECT_EQ(store.archiveRows().size(), 1u);
}

TEST_F(HistoryStoreTest, SavedSearchesLearnFinalPricesAndRelistingsFromTheArchive)
{
    open();
    const ListingOrigin camera = ListingOrigin::savedSearch(kKeywordCamera);
    pass(camera, {listing("c1", kTitleCamera, "1000", "1", kRemain10Minutes),
                  listing("c2", kTitleLens, "3000", "1", kRemain10Minutes),
                  listing("c3", kTitleLens, "2000", "1", kRemain10Minutes),
                  listing("c4", kTitleLens, "9000", "1", kRemain10Minutes)});
    // Another search also found c1; it counts for both keywords.
    pass(ListingOrigin::savedSearch(kKeywordLens),
         {listing("c1", kTitleCamera, "1000", "1", kRemain10Minutes)});
    now += 1h;
    HistoryBatch run = store.openBatch(camera);
    for (const std::string& itemNo : store.listingsPastEnd(kKeywordCamera, now))
        run.archiveUnreported(itemNo);
    store.commit(run);

    const PriceStats camStats = store.finalPricesOfSearch(kKeywordCamera);
    EXPECT_EQ(camStats.count, 4);
    EXPECT_EQ(camStats.median, 2500);
    EXPECT_EQ(camStats.lowest, 1000);
    EXPECT_EQ(camStats.highest, 9000);
    EXPECT_EQ(store.finalPricesOfSearch(kKeywordLens).count, 1);

    // A new listing of the same title, written with other widths, case and blanks.
    const std::optional<EndedListing> earlier = store.relistingOf(kTitleCameraRelisted, "c9");
    ASSERT_TRUE(earlier.has_value());
    EXPECT_EQ(earlier->itemNo, "c1");
    EXPECT_EQ(earlier->finalPrice, 1000);
    EXPECT_FALSE(store.relistingOf(kTitleCamera, "c1").has_value()) << "a listing is no relisting of itself";

    // The archive's filter, and the figures under it for the rows it shows.
    const std::vector<ArchiveRow> rows = store.archiveRows();
    const ArchiveFilter filter(rows);
    const std::vector<uint32_t> cameras = filter.matching(kFilterWidthAndCase);
    ASSERT_EQ(cameras.size(), 1u);
    EXPECT_EQ(rows[cameras[0]].itemNo, "c1");
    EXPECT_EQ(filter.matching("  ").size(), 4u);
    EXPECT_TRUE(filter.matching("50mm zz").empty());
    const PriceStats lensStats = finalPriceStats(rows, filter.matching("50MM"));
    EXPECT_EQ(lensStats.count, 3);
    EXPECT_EQ(lensStats.median, 3000);
}

TEST_F(HistoryStoreTest, NotesStayWithTheirListingAcrossRestarts)
{
    open();
    EXPECT_TRUE(store.setNote("a1", kNote).ok());
    EXPECT_TRUE(store.setNote("a2", "x").ok());
    EXPECT_TRUE(store.setNote("a2", "").ok());
    restart();
    EXPECT_EQ(store.note("a1"), kNote);
    EXPECT_EQ(store.notes().size(), 1u);
}

} // namespace
} // namespace pelimo::history_test
