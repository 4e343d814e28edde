#include "history/HistoryReads.h"

#include "HistoryTestTexts.h"
#include "StoreFixture.h"
#include "history/LatestRead.h"

#include <mutex>
#include <thread>

namespace pelimo::history_test {
namespace {

using namespace history_test_text;

// The window's side of the hand-over: what the worker delivers waits here until the test,
// playing the window's thread, runs it.
class Mailbox {
public:
    HistoryReads::Deliver deliver()
    {
        return [this](HistoryReads::Task task) {
            std::lock_guard lock(mutex);
            tasks.push_back(std::move(task));
        };
    }
    // Runs what has arrived, on the calling thread; how many tasks ran.
    size_t runArrived()
    {
        std::vector<HistoryReads::Task> arrived;
        {
            std::lock_guard lock(mutex);
            arrived.swap(tasks);
        }
        for (HistoryReads::Task& task : arrived)
            task();
        return arrived.size();
    }

private:
    std::mutex mutex;
    std::vector<HistoryReads::Task> tasks;
};

class HistoryReadsTest : public StoreFixture {
protected:
    std::vector<int64_t> trendOf(const Sparkline& line)
    {
        std::vector<int64_t> prices;
        for (const PricePoint& p : line.points)
            prices.push_back(p.price);
        return prices;
    }
};

// The trends are read beside the writing store and handed over on the window's thread, in
// the order they were asked for: a read asked after a pass was written shows that pass.
TEST_F(HistoryReadsTest, ReadsRunBesideTheWriterAndArriveInOrderOnTheOwnersThread)
{
    open();
    watchPass({listing("a1", "camera", "1000", "0", kRemain3Days)});
    now += 5min;
    Mailbox window;
    HistoryReads reads(path(), window.deliver());

    const std::thread::id windowThread = std::this_thread::get_id();
    std::vector<std::vector<int64_t>> arrived;
    const auto ask = [&] {
        reads.read(
            [](const HistoryStore& s) {
                return s.sparklines({"a1", "unknown"}, 90);
            },
            [&](std::vector<Sparkline> lines) {
                EXPECT_EQ(std::this_thread::get_id(), windowThread);
                ASSERT_EQ(lines.size(), 2u);
                EXPECT_TRUE(lines[1].points.empty());
                arrived.push_back(trendOf(lines[0]));
            });
    };
    ask();
    ASSERT_TRUE(reads.waitIdle(5s));
    EXPECT_TRUE(arrived.empty()) << "nothing is shown before the window's thread takes it";

    watchPass({listing("a1", "camera", "1500", "1", kRemain3Days)});
    ask();
    ASSERT_TRUE(reads.waitIdle(5s));
    EXPECT_EQ(window.runArrived(), 2u);
    EXPECT_EQ(arrived, (std::vector<std::vector<int64_t>>{{1000}, {1000, 1500}}));
}

// A result that arrives after its reads have gone (the window closed meanwhile) is dropped,
// and a file that is not there reads as an empty history.
TEST_F(HistoryReadsTest, LateResultsAreDroppedAndAMissingFileReadsEmpty)
{
    Mailbox window;
    int shown = 0;
    {
        HistoryReads reads(path(), window.deliver());
        reads.read([](const HistoryStore& s) { return s.archiveRows(); },
                   [&](std::vector<ArchiveRow> rows) {
                       EXPECT_TRUE(rows.empty());
                       ++shown;
                   });
        ASSERT_TRUE(reads.waitIdle(5s));
        EXPECT_EQ(window.runArrived(), 1u);
        EXPECT_EQ(shown, 1);

        reads.read([](const HistoryStore& s) { return s.archiveRows(); },
                   [&](std::vector<ArchiveRow>) { ++shown; });
        ASSERT_TRUE(reads.waitIdle(5s));
    }
    window.runArrived();
    EXPECT_EQ(shown, 1);
}

// A reader being dropped stops the query under way rather than finish it: it finds nothing.
TEST_F(HistoryReadsTest, AStoppedReaderFindsNothing)
{
    open();
    std::vector<ItemInfo> items;
    for (int n = 0; n < 200; ++n)
        items.push_back(listing("e" + std::to_string(n), kTitleCamera, "1000", "0", kRemain10Minutes));
    watchPass(items);
    now += 20min;
    HistoryBatch ended = store.openBatch(ListingOrigin::watchList());
    for (const ItemInfo& item : items)
        ended.archiveEnded(item.ItemNo);
    ASSERT_EQ(store.commit(ended).archived, 200);

    HistoryStore reader;
    ASSERT_TRUE(reader.openReadOnly(path()).ok());
    std::atomic<bool> stop{false};
    reader.stopReadsWhen(&stop);
    EXPECT_EQ(reader.archiveRows().size(), 200u);
    stop = true;
    EXPECT_TRUE(reader.archiveRows().empty());
}

// Showing the pane again while its read is under way asks for nothing more; a reload asks
// again and the earlier read's rows, arriving after, are not shown.
TEST(LatestReadTest, ShowsWaitForTheReadUnderWayAndReloadsMakeItStale)
{
    LatestRead gate;
    const std::optional<LatestRead::Ticket> first = gate.beginOnShow();
    ASSERT_TRUE(first);
    EXPECT_FALSE(gate.beginOnShow());
    const LatestRead::Ticket reload = gate.begin();
    EXPECT_FALSE(gate.finish(*first)) << "stale";
    EXPECT_TRUE(gate.underWay());
    EXPECT_TRUE(gate.finish(reload));
    EXPECT_FALSE(gate.underWay());
    EXPECT_TRUE(gate.beginOnShow()) << "a show after the read asks again";
}

// The passes that run while the file opens on another thread are held and written once the
// store is handed over, before the passes after it; a file that does not open drops them and
// says so.
TEST_F(HistoryReadsTest, PassesBeforeTheOpenAreHeldAndWrittenWhenItIsHandedOver)
{
    store.holdBatches();
    EXPECT_TRUE(store.recording());
    watchPass({listing("a1", "camera", "1000", "0", kRemain3Days)});
    now += 5min;
    watchPass({listing("a1", "camera", "1200", "1", kRemain3Days),
               listing("b2", "lens", "300", "0", kRemain2Hours)});
    now += 5min;

    std::thread opening([this] { store.open(path(), 365); });
    opening.join();
    EXPECT_TRUE(store.releaseHeldBatches().ok());
    watchPass({listing("a1", "camera", "1300", "2", kRemain3Days)});

    const std::vector<Sparkline> lines = store.sparklines({"a1", "b2"}, 90);
    EXPECT_EQ(trendOf(lines[0]), (std::vector<int64_t>{1000, 1200, 1300}));
    EXPECT_EQ(trendOf(lines[1]), (std::vector<int64_t>{300}));

    HistoryStore unavailable;
    unavailable.holdBatches();
    HistoryBatch batch = unavailable.openBatch(ListingOrigin::watchList());
    batch.record(listing("c3", "tripod", "800", "0", kRemain2Hours));
    EXPECT_TRUE(unavailable.commit(batch).status.ok());
    unavailable.open(folder.file("missing/history.db"), 365);
    EXPECT_FALSE(unavailable.releaseHeldBatches().ok());
    EXPECT_FALSE(unavailable.recording());
}

} // namespace
} // namespace pelimo::history_test
