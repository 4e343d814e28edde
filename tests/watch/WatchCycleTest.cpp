#include "RecordingHost.h"
#include "RecordingNotifier.h"
#include "TestTexts.h"
#include "WatchTexts.h"
#include "history/HistoryStore.h"
#include "notify/AlarmDelivery.h"
#include "notify/AlarmText.h"
#include "notify/DesktopAlerts.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/WorkQueue.h"
#include "platform/text/SjisText.h"
#include "platform/text/TextFill.h"
#include "tests/support/ServicePauseClock.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/SmtpSink.h"
#include "tests/support/TempFolder.h"
#include "watch/AlarmRules.h"
#include "watch/AramFile.h"
#include "watch/PriceCeilings.h"
#include "watch/WatchList.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>

namespace pelimo {
namespace {

namespace fs = std::filesystem;
using namespace watch_test_text;

std::string percentEncoded(const std::string& sjis)
{
    return test::percentEncode(platform::sjisToUtf8(sjis));
}

ItemInfo listing(const std::string& no, const std::string& price, const std::string& remain,
                 const std::string& name = kNameCamera)
{
    return ItemInfo{no, name, price, "NO", "", "1", "1", remain};
}

class WatchCycleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sim = new test::SimulatorProcess;
        ASSERT_TRUE(sim->start());
    }
    static void TearDownTestSuite()
    {
        delete sim;
        sim = nullptr;
    }

    void SetUp() override
    {
        ASSERT_FALSE(dir.empty());
        sim->control("/sim/reset");
        settings.watchIntervalMinutes = 5;
        settings.remainingTimeMinutes = 5;
        settings.alarmOnRemainingTime = 1;
        settings.alarmOnPriceChange = 1;
        settings.alarmBalloon = 1;
        settings.alarmMail = 1;
        endpoints.listingBase = sim->baseUrl();
        restart();
        platform::setPendingEventHandler({});
    }
    // A new list over the same folder, as at the program's next start (the old one saved as
    // at its exit); load() is the test's to call.
    void restart()
    {
        if (list)
            list->save();
        list.reset();
        list = std::make_unique<WatchList>(settings, endpoints, host, notifier, dir.string());
        list->setClock([this] { return now; });
    }
    void TearDown() override
    {
        platform::setPendingEventHandler({});
        list.reset();
    }

    // Pins the listing the service reports for that number.
    // The service reports the listing so; with reportedEvenEnded, also once its time has run
    // out, as a service may for a moment.
    void put(const ItemInfo& r, bool reportedEvenEnded = false)
    {
        sim->control("/sim/put?ItemNo=" + percentEncoded(r.ItemNo) + "&ItemName=" +
                     percentEncoded(r.ItemName) + "&CurrentPrice=" + percentEncoded(r.CurrentPrice) +
                     "&RemainTime=" + percentEncoded(r.RemainTime) + "&AuctionType=" + r.AuctionType +
                     "&BidNum=" + r.BidNum + "&ItemNum=" + r.ItemNum +
                     "&ImageUrl=" + (reportedEvenEnded ? "&ends=never" : ""));
    }
    // Watches a listing the service reports unchanged.
    void watch(const ItemInfo& r)
    {
        put(r);
        list->addEntry(r);
    }
    size_t itemRequests(const std::string& itemNo) const
    {
        const std::string tail = "exhibit_id=" + itemNo;
        size_t n = 0;
        for (const std::string& r : sim->requests())
            n += r.size() >= tail.size() && r.compare(r.size() - tail.size(), tail.size(), tail) == 0;
        return n;
    }

    static test::SimulatorProcess* sim;
    test::TempFolder folder{"pelimo-watchcycle"};
    const fs::path dir = folder.path();
    EnvSettings settings;
    Endpoints endpoints;
    test::RecordingHost host;
    test::RecordingNotifier notifier;
    std::vector<std::string>& mails = notifier.mails;
    std::unique_ptr<WatchList> list;
    NearEndPolling::Clock::time_point now{};
};

test::SimulatorProcess* WatchCycleTest::sim = nullptr;

TEST_F(WatchCycleTest, EmptyListSetsTheNormalIconAndNothingElse)
{
    list->runUpdateCycle();
    EXPECT_EQ(host.trayIcons, std::vector<int32_t>{kTrayIconNormal});
    EXPECT_TRUE(notifier.balloons.empty());
    EXPECT_TRUE(host.statusLines.empty());
    EXPECT_TRUE(mails.empty());
    EXPECT_EQ(list->busy(), 0);
}

TEST_F(WatchCycleTest, ThreeNewAlarmsGiveOneBalloonAndOneMailInListOrder)
{
    settings.alarmOnPriceChange = 0;
    watch(listing("x1", kPriceYen1000, kRemain5Min));
    watch(listing("x2", "2000", kRemain30Sec, kNameWatch));
    watch(listing("x3", "3000", kRemain5Min, kNameBook));
    watch(listing("x4", "4000", kRemain6Min));
    list->runUpdateCycle();

    ASSERT_EQ(notifier.balloons.size(), 1u);
    EXPECT_EQ(notifier.balloons[0], std::string(kAlarmLineCamera) + kOthers2);
    EXPECT_EQ(notifier.balloonItems, std::vector<std::string>{"x1"})
        << "the balloon names the first new alarm";
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0], alarmLine(listing("x1", kPriceYen1000, kRemain5Min)) + "\n" +
                            alarmLine(listing("x2", "2000", kRemain30Sec, kNameWatch)) + "\n" +
                            alarmLine(listing("x3", "3000", kRemain5Min, kNameBook)) + "\n");
    EXPECT_EQ(host.trayIcons, std::vector<int32_t>{kTrayIconAlarm});
    EXPECT_FALSE(list->entries()[3].inAlarm());
    // The push gets the first listing for its page address, under the alarms' title.
    EXPECT_EQ(notifier.batches[0].firstItemNo, "x1");
    EXPECT_EQ(notifier.batches[0].titleSjis, alarmsTitle());
    EXPECT_EQ(notifier.alertTitles, std::vector<std::string>{std::string(alarmsTitle())});
    // Remaining-time alarms, three of them: the quiet period lets them through if the user says so.
    EXPECT_EQ(notifier.batches[0].count, 3);
    EXPECT_EQ(notifier.batches[0].kind, AlarmKind::nearEnd);
    EXPECT_EQ(notifier.alertCounts, std::vector<int32_t>{3});
    EXPECT_EQ(notifier.alertKinds, std::vector<AlarmKind>{AlarmKind::nearEnd});
    // Each listing was named on the status line while it was fetched, then the line cleared.
    EXPECT_EQ(host.statusLines.front(), fillText(watch_text::kStatusUpdating, {"x1", kNameCamera}));
    EXPECT_EQ(host.statusLines.size(), 8u);
    EXPECT_EQ(host.statusLines.back(), "");
}

TEST_F(WatchCycleTest, AFollowUpThatTakesTheCycleOverSendsItsOneMailItself)
{
    settings.alarmOnPriceChange = 0;
    watch(listing("x1", kPriceYen1000, kRemain5Min));
    std::vector<CycleAlarms> handed;
    std::vector<size_t> mailsWhenAsked;
    bool takeOver = true;
    list->setCycleFollowUp([&](const CycleAlarms& a) {
        handed.push_back(a);
        mailsWhenAsked.push_back(mails.size());
        return takeOver;
    });
    list->runUpdateCycle();
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].mailText, alarmLine(listing("x1", kPriceYen1000, kRemain5Min)) + "\n");
    EXPECT_EQ(handed[0].firstItemNo, "x1");
    EXPECT_TRUE(mails.empty()) << "the mail waits for the follow-up";
    EXPECT_EQ(notifier.balloons.size(), 1u) << "the watched listings' balloon does not wait";

    // A follow-up with nothing to run leaves the cycle to mail as it always did; fast ticks
    // never wait for one.
    takeOver = false;
    settings.alarmOnPriceChange = 1;
    put(listing("x1", "1500", kRemain5Min));
    list->runUpdateCycle();
    EXPECT_EQ(handed.size(), 2u);
    EXPECT_EQ(mails.size(), 1u);
    EXPECT_EQ(mailsWhenAsked, (std::vector<size_t>{0, 0})) << "asked before the cycle mails";
}

TEST_F(WatchCycleTest, AlertMailGoesToARealSmtpServerOncePerEpisode)
{
    test::SmtpSink smtp;
    ASSERT_EQ(smtp.startError(), "");
    settings.alarmOnPriceChange = 0;
    settings.smtpHost = "127.0.0.1";
    settings.smtpPort = smtp.port();
    settings.mailFrom = "watch@example.test";
    settings.mailTo = "user@example.test";
    // The program's own notifier, its transfers on a queue of their own.
    struct NoDesktop final : DesktopAlerts {
        void showAlert(const std::string&, const ItemInfo&, std::string_view) override {}
    } desktop;
    std::mutex statusMutex;
    std::vector<std::string> status;
    platform::WorkQueue queue;
    AlarmDelivery delivery(settings, desktop, queue,
                           [&](const std::string& text) {
                               const std::lock_guard lock(statusMutex);
                               status.push_back(text);
                           },
                           {});
    WatchList mailing(settings, endpoints, host, delivery, dir.string());
    const ItemInfo items[] = {listing("m1", kPriceYen1000, kRemain5Min),
                              listing("m2", "2000", kRemain30Sec, kNameWatch),
                              listing("m3", "3000", kRemain5Min, kNameBook)};
    for (const ItemInfo& r : items) {
        put(r);
        mailing.addEntry(r);
    }
    mailing.runUpdateCycle();
    mailing.runUpdateCycle(); // still in range: no second mail
    ASSERT_TRUE(queue.waitIdle(std::chrono::seconds(60)));

    const std::vector<std::string> received = smtp.messages();
    ASSERT_EQ(received.size(), 1u);
    std::string body = received[0].substr(received[0].find("\r\n\r\n") + 4);
    for (size_t at; (at = body.find("\r\n")) != std::string::npos;)
        body.replace(at, 2, "\n");
    size_t last = 0;
    for (const ItemInfo& r : items) {
        const size_t at = body.find(alarmLine(r) + "\n");
        ASSERT_NE(at, std::string::npos) << r.ItemNo;
        EXPECT_GE(at, last);
        last = at;
    }
    const std::lock_guard lock(statusMutex);
    ASSERT_FALSE(status.empty());
    EXPECT_EQ(status.front(), "CONNECT TO SMTP");
    EXPECT_EQ(status.back(), "");
}

TEST_F(WatchCycleTest, PriceChangesNotifyEachTimeAndARemainingTimeEpisodeOnce)
{
    watch(listing("p", "100", kRemain3Day));
    watch(listing("r", "500", kRemain5Min));
    list->runUpdateCycle(); // r enters its episode
    put(listing("p", "110", kRemain3Day));
    list->runUpdateCycle(); // p's first change; r stays in range
    put(listing("p", "120", kRemain3Day));
    list->runUpdateCycle(); // p's second change

    ASSERT_EQ(mails.size(), 3u);
    EXPECT_EQ(mails[0], alarmLine(listing("r", "500", kRemain5Min)) + "\n");
    EXPECT_EQ(mails[1], alarmLine(listing("p", "110", kRemain3Day)) + "\n");
    EXPECT_EQ(mails[2], alarmLine(listing("p", "120", kRemain3Day)) + "\n");
    EXPECT_EQ(notifier.balloons.size(), 3u);
    EXPECT_EQ(host.trayIcons, (std::vector<int32_t>{kTrayIconAlarm, kTrayIconAlarm, kTrayIconAlarm}));
    // Only the first tells a remaining-time alarm; a price change may wait for the quiet period's end.
    EXPECT_EQ(notifier.alertKinds,
              (std::vector<AlarmKind>{AlarmKind::nearEnd, AlarmKind::other, AlarmKind::other}));
    EXPECT_EQ(notifier.batches[1].kind, AlarmKind::other);
}

TEST_F(WatchCycleTest, FailedFetchShowsDashesAndTheNextSuccessIsAPriceChange)
{
    settings.alarmOnRemainingTime = 0;
    watch(listing("f", kPriceYen1000, kRemain3Day));
    sim->control("/sim/fault?mode=drop&count=1");
    list->runUpdateCycle();
    const ItemInfo& failed = list->entries()[0].info;
    EXPECT_EQ(failed, (ItemInfo{"f", kNameCamera, "-", "NO", "", "-", "-", "-"}));
    EXPECT_TRUE(mails.empty());
    EXPECT_EQ(host.trayIcons.back(), kTrayIconNormal);
    // The file holds what the list shows.
    EXPECT_EQ(loadAramFile(dir.string()).records.size(), 1u);

    list->runUpdateCycle();
    EXPECT_EQ(list->entries()[0].info, listing("f", kPriceYen1000, kRemain3Day));
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(list->entries()[0].flags & kPriceAlarm, kPriceAlarm);
}

TEST_F(WatchCycleTest, UpdateRequestDuringACycleIsDropped)
{
    watch(listing("a", "1", kRemain3Day));
    watch(listing("b", "2", kRemain3Day));
    host.onStatus = [this](const std::string& line) {
        if (!line.empty())
            list->updateNow();
    };
    list->runUpdateCycle();
    EXPECT_EQ(itemRequests("a"), 1u);
    EXPECT_EQ(itemRequests("b"), 1u);
    EXPECT_EQ(host.trayIcons.size(), 1u);
}

TEST_F(WatchCycleTest, ExitDuringACycleStopsBeforeTheNextListingAndFinishes)
{
    settings.alarmOnPriceChange = 0;
    watch(listing("e1", "1", kRemain30Sec));
    watch(listing("e2", "2", kRemain30Sec));
    host.onStatus = [this](const std::string& line) {
        if (!line.empty() && host.closed == 0)
            list->requestExit();
    };
    list->runUpdateCycle();
    EXPECT_EQ(itemRequests("e1"), 1u);
    EXPECT_EQ(itemRequests("e2"), 0u);
    // The listing handled so far is still notified, then the exit goes on.
    EXPECT_EQ(notifier.balloons.size(), 1u);
    EXPECT_EQ(mails.size(), 1u);
    EXPECT_EQ(host.closed, 1);
    EXPECT_EQ(host.trayIcons, std::vector<int32_t>{kTrayIconAlarm});

    // Idle, an exit request is answered at once.
    WatchList idle(settings, endpoints, host, notifier, dir.string());
    idle.requestExit();
    EXPECT_EQ(host.closed, 2);
}

TEST_F(WatchCycleTest, RemovingTheListingBeingFetchedTouchesNoOtherEntry)
{
    settings.alarmOnPriceChange = 0;
    watch(listing("m1", "1", kRemain3Day));
    watch(listing("m2", "2", kRemain3Day));
    watch(listing("m3", "3", kRemain3Day));
    // The service now reports m2 in alarm and slowly.
    put(listing("m2", "2", kRemain30Sec));
    sim->control("/sim/delay?ms=300");

    bool fetchingM2 = false;
    int pumpsDuringM2 = 0;
    host.onStatus = [&](const std::string& line) {
        fetchingM2 = line.find("m2") != std::string::npos;
    };
    platform::setPendingEventHandler([&] {
        if (fetchingM2 && ++pumpsDuringM2 == 5)
            list->removeEntry("m2");
    });
    list->runUpdateCycle();
    platform::setPendingEventHandler({});

    ASSERT_GE(pumpsDuringM2, 5); // the removal happened while m2's answer was awaited
    EXPECT_EQ(itemRequests("m2"), 1u);
    ASSERT_EQ(list->entries().size(), 2u);
    EXPECT_EQ(list->entries()[0].info, listing("m1", "1", kRemain3Day));
    EXPECT_EQ(list->entries()[1].info, listing("m3", "3", kRemain3Day));
    EXPECT_EQ(list->entries()[1].flags, 0);
    EXPECT_EQ(itemRequests("m3"), 1u);
    EXPECT_TRUE(mails.empty());
    // The removal was written at once.
    EXPECT_EQ(loadAramFile(dir.string()).records.size(), 2u);
}

TEST_F(WatchCycleTest, ListingsAreFoundWhereTheyAreAsTheListChanges)
{
    for (const char* no : {"f1", "f2", "f3", "f4"})
        ASSERT_TRUE(list->addEntry(listing(no, "1", kRemain3Day)));
    EXPECT_FALSE(list->addEntry(listing(" f3\n", "1", kRemain3Day))) << "one listing, two spellings";
    ASSERT_TRUE(list->removeEntry("f2"));
    ASSERT_TRUE(list->addEntry(listing("f2", "1", kRemain3Day)));
    ASSERT_TRUE(list->removeEntry("f1"));
    // Each number leads to its own entry, wherever the changes moved it.
    for (const char* no : {"f1", "f2", "f3", "f4", "f5"}) {
        const int32_t pos = list->findEntry(no);
        if (pos < 0) {
            EXPECT_TRUE(std::string(no) == "f1" || std::string(no) == "f5") << no;
            continue;
        }
        ASSERT_LT(static_cast<size_t>(pos), list->entries().size());
        EXPECT_EQ(list->entries()[static_cast<size_t>(pos)].info.ItemNo, no);
    }
    EXPECT_EQ(list->entries().size(), 3u);
}

TEST_F(WatchCycleTest, EveryAddIsOnFileWithoutAShutdown)
{
    watch(listing("k1", "1", kRemain3Day, kNameWatch));
    watch(listing("k2", "2", kRemain3Day));
    list->addEntry(listing("k1", "999", kRemain3Day)); // already watched: ignored
    // No save at destruction is involved: the file is read while the list still lives.
    const AramFileLoad loaded = loadAramFile(dir.string());
    ASSERT_EQ(loaded.records.size(), 2u);
    EXPECT_EQ(loaded.records[0], listing("k1", "1", kRemain3Day, kNameWatch));
    EXPECT_EQ(loaded.records[1].ItemNo, "k2");
}

TEST_F(WatchCycleTest, LoadKeepsTheFirstOfDuplicatesAndSavesItOnce)
{
    ASSERT_TRUE(
        saveAramFile({listing("d", "1", "-"), listing("d", "2", "-"), listing("e", "3", "-")}, dir.string()));
    list->load();
    ASSERT_EQ(list->entries().size(), 2u);
    EXPECT_EQ(list->entries()[0].info.CurrentPrice, "1");
    ASSERT_TRUE(list->save());
    EXPECT_EQ(loadAramFile(dir.string()).records.size(), 2u);
}

TEST_F(WatchCycleTest, UnreadableFileIsMovedAsideAndSaidOnce)
{
    {
        std::ofstream(dir / "AramList.xml") << "<root><ItemInfo>";
    }
    list->load();
    EXPECT_TRUE(list->entries().empty());
    ASSERT_EQ(host.fileNotices.size(), 1u);
    int aside = 0;
    for (const auto& f : fs::directory_iterator(dir)) {
        const std::string name = f.path().filename().string();
        if (name.rfind("AramList.xml.unreadable-", 0) == 0) {
            ++aside;
            EXPECT_NE(host.fileNotices[0].find(name), std::string::npos) << "the notice names the file";
        }
    }
    EXPECT_EQ(aside, 1);
    // Adding now writes a new file beside the moved one.
    watch(listing("n", "1", "-"));
    EXPECT_EQ(loadAramFile(dir.string()).records.size(), 1u);
}

TEST_F(WatchCycleTest, FastTickFetchesOnlyListingsNearTheirEndAndAlarmsAsACycle)
{
    settings.alarmOnPriceChange = 0;
    list->setNearEndSettings({1, 30, 60});
    watch(listing("n1", "1", kRemain30Min));
    watch(listing("far", "2", kRemain3Day));
    watch(listing("n2", "3", kRemain2Hour));
    list->runFastTick();
    EXPECT_EQ(itemRequests("n1"), 1u);
    EXPECT_EQ(itemRequests("far"), 0u);
    EXPECT_EQ(itemRequests("n2"), 0u);
    EXPECT_TRUE(mails.empty());

    // Ninety minutes on, n2 is near its end too; n1 now reports five minutes left.
    now += std::chrono::minutes(90);
    put(listing("n1", "1", kRemain5Min));
    list->runFastTick();
    EXPECT_EQ(itemRequests("n1"), 2u);
    EXPECT_EQ(itemRequests("far"), 0u);
    EXPECT_EQ(itemRequests("n2"), 1u);
    EXPECT_EQ(mails, std::vector<std::string>{alarmLine(listing("n1", "1", kRemain5Min)) + "\n"});
    EXPECT_EQ(notifier.balloons.size(), 1u);
    EXPECT_EQ(host.trayIcons, (std::vector<int32_t>{kTrayIconNormal, kTrayIconAlarm}));

    // A tick while a cycle runs does nothing.
    host.onStatus = [this](const std::string& line) {
        if (!line.empty())
            list->runFastTick();
    };
    list->runUpdateCycle();
    EXPECT_EQ(itemRequests("n1"), 3u);
    EXPECT_EQ(itemRequests("far"), 1u);
    // The regular cycle's turn during a tick is not lost: it follows the tick.
    host.onStatus = [this](const std::string& line) {
        if (!line.empty())
            list->runUpdateCycle();
    };
    list->runFastTick();
    EXPECT_EQ(itemRequests("n1"), 5u);
    EXPECT_EQ(itemRequests("far"), 2u);
}

TEST_F(WatchCycleTest, ListingsReadFromTheFileAreNearTheirEndByTheTimeTheFileKnew)
{
    watch(listing("n1", "1", kRemain30Min));
    watch(listing("far", "2", kRemain3Day));
    WatchList reloaded(settings, endpoints, host, notifier, dir.string());
    reloaded.setClock([this] { return now; });
    reloaded.setNearEndSettings({1, 30, 60});
    reloaded.load();
    EXPECT_EQ(reloaded.fastTickSelection(), std::vector<std::string>{"n1"});
}

TEST_F(WatchCycleTest, ListingGoneAfterItsEndShowsEndedAndIsNoLongerPolledFast)
{
    list->setNearEndSettings({1, 30, 60});
    watch(listing("e", kPriceYen1000, kRemain5Min));
    now += std::chrono::minutes(6);
    sim->control("/sim/remove?ItemNo=e");
    list->runFastTick();
    EXPECT_EQ(itemRequests("e"), 1u);
    const ItemInfo ended = list->entries()[0].info;
    EXPECT_EQ(ended, listing("e", kPriceYen1000, watch_text::kRemainEnded));
    list->runFastTick();
    EXPECT_EQ(itemRequests("e"), 1u);
    // The regular cycle still asks, and the row stays ended.
    list->runUpdateCycle();
    EXPECT_EQ(itemRequests("e"), 2u);
    EXPECT_EQ(list->entries()[0].info, ended);
    ASSERT_TRUE(list->save());
    EXPECT_EQ(loadAramFile(dir.string()).records, std::vector<ItemInfo>{ended});
}

TEST_F(WatchCycleTest, WithFasterPollingOffTicksFetchNothingAndFailuresShowDashes)
{
    watch(listing("o1", kPriceYen1000, kRemain5Min));
    watch(listing("o2", "2", kRemain3Day));
    now += std::chrono::minutes(6);
    list->runFastTick();
    EXPECT_TRUE(sim->requests().empty());
    sim->control("/sim/remove?ItemNo=o1");
    list->runUpdateCycle();
    EXPECT_EQ(sim->requests().size(), 2u);
    EXPECT_EQ(list->entries()[0].info, (ItemInfo{"o1", kNameCamera, "-", "NO", "", "-", "-", "-"}));
}

TEST_F(WatchCycleTest, AWatchedListingThatEndsLandsInTheArchiveWithItsFinalPrice)
{
    HistoryStore store;
    ASSERT_TRUE(store.open((dir / "history.db").string(), 365).outcome == HistoryFileOpen::Outcome::opened);
    list->setHistory(&store);
    watch(listing("h1", "1000", kRemain5Min));
    list->runUpdateCycle();
    put(listing("h1", "1500", kRemain30Sec));
    list->runUpdateCycle();
    // The service stops reporting it once its time has run out; the faster polling is off.
    now += std::chrono::minutes(6);
    sim->control("/sim/remove?ItemNo=h1");
    list->runUpdateCycle();
    list->runUpdateCycle();

    const std::vector<ArchiveRow> archive = store.archiveRows();
    ASSERT_EQ(archive.size(), 1u);
    EXPECT_EQ(archive[0].itemNo, "h1");
    EXPECT_EQ(archive[0].finalPrice, 1500);
    EXPECT_TRUE(archive[0].confirmed);
    EXPECT_EQ(archive[0].origin.kind, ListingOrigin::Kind::watchList);
    const ListingHistory history = store.listingHistory("h1");
    ASSERT_FALSE(history.observations.empty());
    EXPECT_EQ(history.observations.back().price, 1500);
    EXPECT_TRUE(history.endedAt.has_value());
    list->setHistory(nullptr);
}

TEST_F(WatchCycleTest, AListingReportedWithNoTimeLeftIsArchivedWithThatPrice)
{
    HistoryStore store;
    ASSERT_TRUE(store.open((dir / "history.db").string(), 365).outcome == HistoryFileOpen::Outcome::opened);
    list->setHistory(&store);
    watch(listing("z1", "2000", kRemain5Min));
    list->runUpdateCycle();
    EXPECT_TRUE(store.archiveRows().empty()) << "still running";
    put(listing("z1", "2600", platform::utf8ToSjis("0秒")), true);
    list->runUpdateCycle();
    const std::vector<ArchiveRow> archive = store.archiveRows();
    ASSERT_EQ(archive.size(), 1u);
    EXPECT_EQ(archive[0].finalPrice, 2600);
    list->setHistory(nullptr);
}

// The local time of day, rounded up to the second, as a status line would name it.
std::string localClock(std::chrono::system_clock::time_point at)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::ceil<std::chrono::seconds>(at));
    std::tm local{};
    localtime_r(&t, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

TEST_F(WatchCycleTest, AServiceThatAsksToWaitLeavesTheListingsAsTheyWereUntilTheCycleAfterTheWait)
{
    test::ServicePauseClock pauseClock;
    settings.alarmOnPriceChange = 0;
    list->setNearEndSettings({1, 30, 60});
    watch(listing("w1", kPriceYen1000, kRemain5Min));
    watch(listing("w2", "2000", kRemain3Day, kNameWatch));
    watch(listing("w3", "3000", kRemain3Day, kNameBook));
    list->runUpdateCycle();
    ASSERT_EQ(host.trayIcons.back(), kTrayIconAlarm);
    const std::vector<AramEntry> known = list->entries();

    settings.alarmOnPriceChange = 1;
    put(listing("w1", kPriceYen1200, kRemain5Min));
    put(listing("w2", "2100", kRemain3Day, kNameWatch));
    put(listing("w3", "3100", kRemain3Day, kNameBook));
    ASSERT_TRUE(sim->control("/sim/fault?mode=ratelimit&count=1&retry=30"));
    const size_t asked = sim->requests().size();
    const size_t mailed = mails.size();
    list->runUpdateCycle();
    EXPECT_EQ(sim->requests().size(), asked + 1) << "nothing more is sent once the service said wait";
    const std::string resumes = localClock(pauseClock.wall + std::chrono::seconds(30));
    ASSERT_FALSE(host.statusLines.empty());
    EXPECT_NE(host.statusLines.back().find(resumes), std::string::npos) << "the status line says when";

    // Ten minutes on, w1's time has run out; neither a fast tick nor a cycle during the wait
    // asks, and no listing shows dashes or an end.
    now += std::chrono::minutes(10);
    list->runFastTick();
    list->updateNow();
    EXPECT_EQ(sim->requests().size(), asked + 1);
    ASSERT_EQ(list->entries().size(), known.size());
    for (size_t i = 0; i < known.size(); ++i) {
        EXPECT_EQ(list->entries()[i].info, known[i].info);
        EXPECT_EQ(list->entries()[i].flags, known[i].flags);
    }
    EXPECT_EQ(host.trayIcons.back(), kTrayIconAlarm) << "the alarm shown stays";
    EXPECT_EQ(mails.size(), mailed);
    EXPECT_NE(host.statusLines.back().find(resumes), std::string::npos);
    EXPECT_EQ(list->busy(), 0);

    // The wait is over: the next cycle asks for every listing again.
    pauseClock.advance(std::chrono::seconds(30));
    list->runUpdateCycle();
    EXPECT_EQ(sim->requests().size(), asked + 4);
    EXPECT_EQ(list->entries()[0].info, listing("w1", kPriceYen1200, kRemain5Min));
    EXPECT_EQ(list->entries()[2].info, listing("w3", "3100", kRemain3Day, kNameBook));
    EXPECT_EQ(mails.size(), mailed + 1) << "the price changes are told as usual";
}

TEST_F(WatchCycleTest, PriceCeilingAlarmsInTheCycleAndItsRuleLeavesWithTheListing)
{
    settings.alarmOnRemainingTime = 0;
    settings.alarmOnPriceChange = 0;
    watch(listing("c1", "4000", kRemain3Day));
    watch(listing("c2", "100", kRemain3Day));
    EXPECT_FALSE(fs::exists(dir / "AramRules.xml")); // no ceilings, no file
    const std::string listFile =
        platform::readWholeFile((dir / "AramList.xml").string(), 1 << 20).value_or("");
    ASSERT_TRUE(list->setCeiling("c1", 5000));
    ASSERT_TRUE(list->setCeiling("c2", 200));
    EXPECT_FALSE(list->setCeiling("unwatched", 1));
    EXPECT_EQ(platform::readWholeFile((dir / "AramList.xml").string(), 1 << 20).value_or(""), listFile);

    put(listing("c1", "5100", kRemain3Day));
    list->runUpdateCycle();
    list->runUpdateCycle();
    const std::string line = alarmLine(listing("c1", "5100", kRemain3Day)) + "\n" +
                             fillText(watch_text::kCeilingLine, {5000LL}) + "\n";
    EXPECT_EQ(mails, std::vector<std::string>{line});
    EXPECT_TRUE(list->entries()[0].inAlarm());

    // The rules are read back with the list; a removed listing's rule is gone from the file.
    list->removeEntry("c2");
    EXPECT_EQ(loadPriceCeilings(dir.string()).rules, (std::vector<PriceRule>{{"c1", 5000}}));
    WatchList reloaded(settings, endpoints, host, notifier, dir.string());
    reloaded.load();
    EXPECT_EQ(reloaded.ceiling("c1"), 5000);
    EXPECT_EQ(reloaded.ceiling("c2"), std::nullopt);
}

TEST_F(WatchCycleTest, DamagedRulesFileIsMovedAsideAndSaid)
{
    ASSERT_TRUE(saveAramFile({listing("r", "1", kRemain3Day)}, dir.string()));
    std::ofstream(dir / "AramRules.xml") << "<root><Rule>";
    list->load();
    ASSERT_EQ(list->entries().size(), 1u);
    ASSERT_EQ(host.statusLines.size(), 1u);
    EXPECT_NE(host.statusLines[0].find("AramRules.xml.unreadable-"), std::string::npos);
    ASSERT_TRUE(list->setCeiling("r", 10));
    EXPECT_EQ(loadPriceCeilings(dir.string()).rules, (std::vector<PriceRule>{{"r", 10}}));
}

TEST_F(WatchCycleTest, CeilingsOutliveADamagedListAndApplyOnceItIsMended)
{
    settings.alarmOnRemainingTime = 0;
    settings.alarmOnPriceChange = 0;
    const std::string listFile = (dir / "AramList.xml").string();
    const std::string rulesFile = (dir / "AramRules.xml").string();
    const auto bytesOf = [](const std::string& file) {
        return platform::readWholeFile(file, 1 << 20);
    };
    ASSERT_TRUE(
        saveAramFile({listing("a", "100", kRemain3Day), listing("b", "100", kRemain3Day)}, dir.string()));
    ASSERT_TRUE(savePriceCeilings({{"a", 5000}, {"b", 200}}, dir.string()));
    const auto goodList = bytesOf(listFile);
    const auto rulesBytes = bytesOf(rulesFile);
    std::ofstream(listFile, std::ios::trunc) << "<root><ItemInfo>";

    // A run on the damaged list that changes nothing leaves the rules file as it was.
    list->load();
    EXPECT_TRUE(list->entries().empty());
    ASSERT_EQ(host.fileNotices.size(), 1u);
    restart();
    EXPECT_EQ(bytesOf(rulesFile), rulesBytes);

    // The next run watches a listing and gives it a ceiling: the old ceilings stay beside it,
    // also through a run after that, where the list reads well again.
    list->load();
    watch(listing("c", "100", kRemain3Day));
    ASSERT_TRUE(list->setCeiling("c", 300));
    const std::vector<PriceRule> allRules{{"c", 300}, {"a", 5000}, {"b", 200}};
    EXPECT_EQ(loadPriceCeilings(dir.string()).rules, allRules);
    restart();
    list->load();
    restart();
    EXPECT_EQ(loadPriceCeilings(dir.string()).rules, allRules);

    // Mended (the user put the good list back), the ceilings apply again.
    ASSERT_TRUE(goodList && platform::writeFileAtomically(listFile, *goodList));
    list->load();
    EXPECT_EQ(list->ceiling("a"), 5000);
    EXPECT_EQ(list->ceiling("b"), 200);
    put(listing("a", "5100", kRemain3Day));
    put(listing("b", "100", kRemain3Day));
    list->runUpdateCycle();
    EXPECT_EQ(mails, std::vector<std::string>{alarmLine(listing("a", "5100", kRemain3Day)) + "\n" +
                                              fillText(watch_text::kCeilingLine, {5000LL}) + "\n"});
}

TEST_F(WatchCycleTest, ItemNumbersWithBlanksAreOneListingAcrossARestart)
{
    settings.alarmOnRemainingTime = 0;
    settings.alarmOnPriceChange = 0;
    // Files as an older version or another program may have left them.
    ASSERT_TRUE(saveAramFile({listing(" b1\r\n", "100", kRemain3Day), listing("b1", "100", kRemain3Day),
                              listing(" \t", "100", kRemain3Day)},
                             dir.string()));
    ASSERT_TRUE(savePriceCeilings({{"\tb1 ", 1000}}, dir.string()));
    list->load();
    ASSERT_EQ(list->entries().size(), 1u) << "one listing, and a blank number is none";
    EXPECT_EQ(list->entries()[0].info.ItemNo, "b1");
    EXPECT_EQ(list->ceiling("b1"), 1000);
    EXPECT_FALSE(list->addEntry(listing(" b1 ", "100", kRemain3Day))) << "already watched";
    EXPECT_FALSE(list->addEntry(listing("  ", "100", kRemain3Day)));
    ASSERT_TRUE(list->setCeiling("b1\n", 1500));

    restart();
    list->load();
    ASSERT_EQ(list->entries().size(), 1u);
    EXPECT_EQ(loadAramFile(dir.string()).records.size(), 1u);
    EXPECT_EQ(loadPriceCeilings(dir.string()).rules, (std::vector<PriceRule>{{"b1", 1500}}));
    put(listing("b1", "1600", kRemain3Day));
    list->runUpdateCycle();
    EXPECT_EQ(mails, std::vector<std::string>{alarmLine(listing("b1", "1600", kRemain3Day)) + "\n" +
                                              fillText(watch_text::kCeilingLine, {1500LL}) + "\n"});
}

TEST_F(WatchCycleTest, TimerIntervalIsAtLeastOneMinute)
{
    const std::pair<int32_t, long long> cases[] = {{5, 300000}, {1, 60000}, {0, 60000}, {-3, 60000}};
    for (const auto& [minutes, ms] : cases) {
        settings.watchIntervalMinutes = minutes;
        EXPECT_EQ(list->timerInterval().count(), ms) << minutes;
    }
}

} // namespace
} // namespace pelimo
