#include "search/saved/SavedSearchCycle.h"

#include "RunPages.h"
#include "history/HistoryStore.h"
#include "notify/AlarmText.h"
#include "platform/FileSystem.h"
#include "search/saved/SavedSearchFile.h"
#include "search/saved/SavedSearchStatus.h"
#include "tests/support/TempFolder.h"

#include <algorithm>
#include <deque>
#include <gtest/gtest.h>
#include <map>

namespace pelimo {
namespace {

using namespace std::chrono;
using namespace saved_search_test;

const SeenSet::Time t0 = sys_days{2026y / 12 / 8} + 9h;

// The search tabs as the cycle drives them, and SearchList.xml in a folder of the test's own.
// A run's end posted to the event loop waits in posted until the test lets the loop run.
class RecordingHost final : public SavedSearchCycleHost {
public:
    struct Tab {
        SearchRequest request;
        SavedTabState state = SavedTabState::open;
        bool collecting = false;
        bool userRun = false; // a run of the user's own goes on: no re-run now
        bool saved = false;
        int newCount = 0;
        std::vector<std::string> newShown;
        bool rowsMarked = false;
    };

    test::TempFolder folder{"pelimo-cycle"};
    std::map<SavedTabId, Tab> tabs;
    std::vector<SavedTabId> opened; // in order
    std::deque<SavedTabId> posted;
    std::vector<std::string> statuses;
    bool saveFails = false;
    int saves = 0;

    SavedTabId openRun(const SearchRequest& request) override
    {
        const SavedTabId id = ++lastId;
        Tab& t = tabs[id];
        t.request = request;
        t.collecting = true;
        opened.push_back(id);
        return id;
    }
    bool rerun(SavedTabId tab) override
    {
        Tab* t = find(tab);
        if (t == nullptr || t->userRun || t->state != SavedTabState::open)
            return false;
        t->collecting = true;
        return true;
    }
    SavedTabState tabState(SavedTabId tab) const override
    {
        const auto found = tabs.find(tab);
        return found == tabs.end() ? SavedTabState::gone : found->second.state;
    }
    void stopRun(SavedTabId tab) override
    {
        if (Tab* t = find(tab))
            t->collecting = false;
    }
    void postRunEnd(SavedTabId tab) override { posted.push_back(tab); }
    void showNewListings(SavedTabId tab, const std::vector<ItemInfo>& listings, bool amongShownRows) override
    {
        Tab* t = find(tab);
        ASSERT_NE(t, nullptr);
        for (const ItemInfo& l : listings)
            t->newShown.push_back(l.ItemNo);
        t->rowsMarked = amongShownRows;
    }
    void clearNewMarks(SavedTabId tab) override
    {
        if (Tab* t = find(tab))
            t->newShown.clear();
    }
    void showSavedTab(SavedTabId tab, const SavedSearch&, int newCount) override
    {
        Tab* t = find(tab);
        ASSERT_NE(t, nullptr);
        t->saved = true;
        t->newCount = newCount;
    }
    void showUnsavedTab(SavedTabId tab) override
    {
        if (Tab* t = find(tab)) {
            t->saved = false;
            t->newShown.clear();
        }
    }
    SavedSearchFileLoad loadFile(SeenSet::Time now) override
    {
        return loadSavedSearchFile(folder.path(), now);
    }
    bool saveFile(const std::vector<SavedSearch>& searches) override
    {
        ++saves;
        return !saveFails && saveSavedSearchFile(searches, folder.path());
    }
    void showStatus(const std::string& sjis) override { statuses.push_back(sjis); }

    // A tab the user opened from the command bar.
    SavedTabId userTab(const std::string& keyword)
    {
        const SavedTabId id = ++lastId;
        tabs[id].request.text = keyword;
        return id;
    }
    Tab* find(SavedTabId tab)
    {
        const auto found = tabs.find(tab);
        return found == tabs.end() ? nullptr : &found->second;
    }
    std::vector<SavedSearch> fileSearches() const { return loadSavedSearchFile(folder.path(), t0).searches; }

private:
    SavedTabId lastId = 0;
};

class RecordingNotifier final : public AlarmNotifier {
public:
    struct Alert {
        std::string title;
        std::string firstItemNo;
        int32_t count;
    };
    std::vector<Alert> alerts;
    std::vector<AlarmBatch> mails;

    void showAlert(std::string_view title, const std::string&, const ItemInfo& first, int32_t count,
                   AlarmKind) override
    {
        alerts.push_back(Alert{std::string(title), first.ItemNo, count});
    }
    void sendAlarms(const AlarmBatch& alarms) override { mails.push_back(alarms); }
};

SavedSearch savedSearch(const std::string& keyword, const std::vector<std::string>& seen = {})
{
    SavedSearch s;
    s.request.text = keyword;
    s.firstRunPending = false;
    for (const std::string& no : seen)
        s.seen.markSeen(no, t0 - hours(1));
    return s;
}

std::vector<ItemInfo> page(const std::vector<std::string>& numbers)
{
    std::vector<ItemInfo> rows;
    for (const std::string& no : numbers)
        rows.push_back(listing(no));
    return rows;
}

AlarmBatch watchedAlarms(const std::string& itemNo, AlarmKind kind = AlarmKind::other)
{
    return AlarmBatch{
        std::string(alarmsTitle()), "watched " + itemNo + "\n", itemNo, 1, kind, itemNo + ".png"};
}

// The cycle with its host and notifier, on the test's clock.
struct Rig {
    RecordingHost host;
    RecordingNotifier notifier;
    SavedSearchCycle cycle{host, notifier};

    Rig()
    {
        cycle.setClock([] { return t0; });
    }

    void writeFile(const std::vector<SavedSearch>& searches)
    {
        ASSERT_TRUE(saveSavedSearchFile(searches, host.folder.path()));
    }
    // The event loop runs: the runs' posted ends reach the cycle.
    void runLoop()
    {
        while (!host.posted.empty()) {
            const SavedTabId tab = host.posted.front();
            host.posted.pop_front();
            cycle.runEnded(tab);
        }
    }
    // The tab's run gets these pages, the last without more after it, and ends.
    void runThrough(SavedTabId tab, const Pages& pages)
    {
        for (size_t i = 0; i < pages.size(); ++i)
            cycle.pageCollected(tab, page(pages[i]), i + 1 < pages.size(), host.tabs[tab].collecting);
        runLoop();
    }
};

class SavedSearchCycleTest : public ::testing::Test, protected Rig {};

TEST(SavedSearchCycle, CycleHoldsTheWatchedAlarmsForOneMailWithWhatItsRunsFind)
{
    struct Case {
        const char* name;
        bool watched;
        AlarmKind watchedKind;
        std::string_view title;
        std::string firstItemNo;
        int32_t count;
        AlarmKind kind;
    };
    const Case cases[] = {
        {"watched and new", true, AlarmKind::other, alarmsTitle(), "w1", 3, AlarmKind::other},
        {"watched near its end", true, AlarmKind::nearEnd, alarmsTitle(), "w1", 3, AlarmKind::nearEnd},
        {"new only", false, AlarmKind::other, newListingsTitle(), "a2", 2, AlarmKind::other},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        RecordingHost& host = rig.host;
        RecordingNotifier& notifier = rig.notifier;
        SavedSearchCycle& cycle = rig.cycle;
        rig.writeFile({savedSearch("zcam", {"a1"}), savedSearch("zdog", {"b1"})});
        cycle.start();
        for (const SavedTabId tab : host.opened)
            rig.runThrough(tab, {{}});
        ASSERT_EQ(notifier.mails.size(), 1u); // the start-up's runs found nothing: an empty text
        notifier.mails.clear();

        const AlarmBatch watched =
            c.watched ? watchedAlarms("w1", c.watchedKind) : AlarmBatch{"", "", "", 0, AlarmKind::other, ""};
        ASSERT_TRUE(cycle.followCycle(watched));
        EXPECT_TRUE(cycle.busy());
        const SavedTabId cam = host.opened[0];
        const SavedTabId dog = host.opened[1];
        cycle.pageCollected(cam, page({"a2", "a1"}), true, true);
        cycle.pageCollected(cam, page({"a3"}), false, true);
        cycle.runEnded(cam);
        EXPECT_TRUE(notifier.mails.empty()) << "told before the last run ended";
        cycle.pageCollected(dog, page({"b1"}), false, true);
        cycle.runEnded(dog);
        EXPECT_FALSE(cycle.busy());

        ASSERT_EQ(notifier.mails.size(), 1u);
        const AlarmBatch& mail = notifier.mails[0];
        EXPECT_EQ(mail.titleSjis, c.title);
        EXPECT_EQ(mail.firstItemNo, c.firstItemNo);
        EXPECT_EQ(mail.count, c.count);
        EXPECT_EQ(mail.kind, c.kind);
        EXPECT_EQ(mail.text.starts_with("watched w1"), c.watched) << "the watched alarms come first";
        EXPECT_NE(mail.text.find("a3"), std::string::npos);
        ASSERT_EQ(notifier.alerts.size(), 1u);
        EXPECT_EQ(notifier.alerts[0].firstItemNo, "a2");
        EXPECT_EQ(notifier.alerts[0].count, 2);
        EXPECT_EQ(host.tabs[cam].newShown, (std::vector<std::string>{"a2", "a3"}));
        EXPECT_FALSE(host.tabs[cam].rowsMarked) << "a re-run adds its new listings to the rows";
        EXPECT_EQ(cycle.newCount(cam), 2);
        EXPECT_EQ(host.tabs[cam].newCount, 2);

        // On file as seen: the next run tells nothing.
        EXPECT_EQ(host.fileSearches()[0].seen.size(), 3u);
        cycle.tabShown(cam);
        EXPECT_EQ(host.tabs[cam].newCount, 0);
        EXPECT_TRUE(host.tabs[cam].newShown.empty());
    }
}

TEST_F(SavedSearchCycleTest, WithoutARunToStartTheWatchListMailsItself)
{
    cycle.start();
    EXPECT_FALSE(cycle.followCycle(watchedAlarms("w1")));
    EXPECT_FALSE(cycle.busy());

    // A saved search whose tab still loads the user's pages does not run either.
    const SavedTabId tab = host.userTab("zcam");
    host.tabs[tab].userRun = true;
    cycle.save(tab, host.tabs[tab].request, nullptr);
    EXPECT_FALSE(cycle.followCycle(watchedAlarms("w1")));
    EXPECT_TRUE(notifier.mails.empty());
}

TEST_F(SavedSearchCycleTest, StartUpRunsTellWhatAppearedWhileClosedOnceAndOnlyTheFirstTwentyRun)
{
    std::vector<SavedSearch> inFile;
    for (int i = 0; i < 25; ++i) {
        inFile.push_back(savedSearch("z" + std::to_string(i), {"seen" + std::to_string(i)}));
        // Last seen 40 days ago: a search that runs forgets it.
        inFile.back().seen.markSeen("old" + std::to_string(i), t0 - days(40));
    }
    writeFile(inFile);
    cycle.start();
    ASSERT_EQ(host.opened.size(), 20u);
    EXPECT_EQ(host.tabs[host.opened[19]].request.text, "z19");
    EXPECT_EQ(host.statuses, std::vector<std::string>{savedSearchesLeftOutStatus(5)});
    EXPECT_TRUE(cycle.busy());
    runThrough(host.opened[0], {{"seen0", "n0"}});
    for (size_t i = 1; i < host.opened.size(); ++i)
        runThrough(host.opened[i], {{"seen" + std::to_string(i)}});
    EXPECT_FALSE(cycle.busy());

    // The start-up's run showed its rows: the new one is marked among them.
    EXPECT_EQ(host.tabs[host.opened[0]].newShown, std::vector<std::string>{"n0"});
    EXPECT_TRUE(host.tabs[host.opened[0]].rowsMarked);
    ASSERT_EQ(notifier.mails.size(), 1u);
    EXPECT_EQ(notifier.mails[0].titleSjis, newListingsTitle());
    EXPECT_EQ(notifier.mails[0].firstItemNo, "n0");

    // Written once, when the last run ended: those that ran forgot their old listing, the rest
    // stayed as they were.
    EXPECT_EQ(host.saves, 1);
    const std::vector<SavedSearch> after = host.fileSearches();
    ASSERT_EQ(after.size(), inFile.size());
    EXPECT_EQ(after[19].seen.size(), 1u);
    EXPECT_EQ(serializeSavedSearchFile({after.begin() + 20, after.end()}),
              serializeSavedSearchFile({inFile.begin() + 20, inFile.end()}));

    // Unsaving one lets the first left out in: its tab opens with the next cycle.
    cycle.unsave(host.opened[0]);
    EXPECT_FALSE(host.tabs[host.opened[0]].saved);
    EXPECT_EQ(host.fileSearches().size(), 24u);
    ASSERT_TRUE(cycle.followCycle({}));
    ASSERT_EQ(host.opened.size(), 21u);
    EXPECT_EQ(host.tabs[host.opened[20]].request.text, "z20");
}

TEST_F(SavedSearchCycleTest, SavingAndUnsavingFromTheTabPopup)
{
    cycle.start();
    // Saved with all its pages loaded, the tab's rows were its silent first run.
    const SavedTabId loaded = host.userTab("zcam");
    const std::vector<ItemInfo> rows = page({"a1", "a2"});
    cycle.save(loaded, host.tabs[loaded].request, &rows);
    EXPECT_TRUE(cycle.isSaved(loaded));
    EXPECT_TRUE(host.tabs[loaded].saved);
    // Saved while its pages load, the search's first run comes with the next cycle.
    const SavedTabId loading = host.userTab("zdog");
    cycle.save(loading, host.tabs[loading].request, nullptr);
    EXPECT_EQ(host.fileSearches().size(), 2u);

    // The same search from a second tab while the first keeps it.
    const SavedTabId again = host.userTab("zcam");
    cycle.save(again, host.tabs[again].request, nullptr);
    EXPECT_FALSE(cycle.isSaved(again));
    EXPECT_EQ(host.statuses.back(), savedSearchAlreadySavedStatus());

    ASSERT_TRUE(cycle.followCycle({}));
    runThrough(loaded, {{"a0", "a1"}, {"a2"}});
    runThrough(loading, {{"b1"}});
    EXPECT_EQ(cycle.newCount(loaded), 1);
    EXPECT_EQ(cycle.newCount(loading), 0);
    ASSERT_EQ(notifier.mails.size(), 1u);
    EXPECT_NE(notifier.mails[0].text.find("a0"), std::string::npos);

    // Its tab closed, the search is taken over by the next tab that saves it.
    host.tabs.erase(loaded);
    cycle.save(again, host.tabs[again].request, nullptr);
    EXPECT_TRUE(cycle.isSaved(again));
    EXPECT_EQ(host.fileSearches().size(), 2u);

    // Unsaved, the tab is an ordinary search again and runs no more.
    cycle.unsave(loading);
    EXPECT_FALSE(cycle.isSaved(loading));
    EXPECT_FALSE(host.tabs[loading].saved);
    host.tabs[loading].collecting = false;
    ASSERT_TRUE(cycle.followCycle({}));
    EXPECT_FALSE(host.tabs[loading].collecting);
    EXPECT_TRUE(host.tabs[again].collecting);

    // Twenty at most.
    for (int i = 0; i < 20; ++i) {
        const SavedTabId tab = host.userTab("z" + std::to_string(i));
        cycle.save(tab, host.tabs[tab].request, nullptr);
    }
    EXPECT_EQ(cycle.searches().searches().size(), 20u);
    EXPECT_EQ(host.statuses.back(), savedSearchListFullStatus());
}

TEST_F(SavedSearchCycleTest, ARunThatEndsEarlyOrBreaksEndsWithWhatItGot)
{
    writeFile({savedSearch("zcam", {"a1"})});
    cycle.start();
    const SavedTabId tab = host.opened[0];
    runThrough(tab, {{"a1"}});

    struct Case {
        const char* name;
        bool listGoesOn; // false: the list ended its run (an empty page, its page limit)
        bool broken;     // a failed request or a pause
    };
    const Case cases[] = {{"ended by the list", false, false}, {"broken", true, true}};
    int mails = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(cycle.followCycle({}));
        const std::string fresh = c.broken ? "n2" : "n1";
        cycle.pageCollected(tab, page({fresh}), true, c.listGoesOn);
        if (c.broken)
            cycle.runBroken(tab);
        if (!c.broken) {
            EXPECT_FALSE(host.tabs[tab].collecting) << "the run no longer hears the list";
        }
        EXPECT_TRUE(cycle.busy()) << "the end waits for the event loop";
        runLoop();
        EXPECT_FALSE(cycle.busy());
        ASSERT_EQ(notifier.mails.size(), size_t(++mails));
        EXPECT_NE(notifier.mails.back().text.find(fresh), std::string::npos);
    }
    // The search still runs with the next cycle; what the cut runs saw is not forgotten.
    ASSERT_TRUE(cycle.followCycle({}));
    EXPECT_TRUE(host.tabs[tab].collecting);
}

TEST_F(SavedSearchCycleTest, ARunWhoseTabClosedEndsAndItsTabOpensAgainWithTheNextCycle)
{
    writeFile({savedSearch("zcam", {"a1"}), savedSearch("zdog")});
    cycle.start();
    const SavedTabId cam = host.opened[0];
    cycle.pageCollected(cam, page({"a1", "a2"}), true, true);
    host.tabs.erase(cam);
    cycle.runEnded(cam);
    runThrough(host.opened[1], {{"b1"}});
    EXPECT_FALSE(cycle.busy());
    ASSERT_EQ(notifier.mails.size(), 1u);
    EXPECT_NE(notifier.mails[0].text.find("a2"), std::string::npos);

    ASSERT_TRUE(cycle.followCycle({}));
    ASSERT_EQ(host.opened.size(), 3u);
    EXPECT_EQ(host.tabs[host.opened[2]].request.text, "zcam");
    EXPECT_EQ(host.tabs[host.opened[2]].request.page, 1);

    // A tab on its way out is not run again either: the search gets a tab of its own.
    runThrough(host.opened[2], {{"a1", "a2"}});
    runThrough(host.opened[1], {{"b1"}});
    host.tabs[host.opened[1]].state = SavedTabState::closing;
    ASSERT_TRUE(cycle.followCycle({}));
    ASSERT_EQ(host.opened.size(), 4u);
    EXPECT_EQ(host.tabs[host.opened[3]].request.text, "zdog");
}

TEST_F(SavedSearchCycleTest, ASearchSavedWhileTheRunsGoJoinsTheNextCycle)
{
    writeFile({savedSearch("zcam", {"a1"})});
    cycle.start();
    runThrough(host.opened[0], {{"a1"}});
    ASSERT_TRUE(cycle.followCycle(watchedAlarms("w1")));
    const SavedTabId dog = host.userTab("zdog");
    const std::vector<ItemInfo> rows = page({"d1"});
    cycle.save(dog, host.tabs[dog].request, &rows);
    EXPECT_FALSE(host.tabs[dog].collecting) << "not run with the cycle already going";
    runThrough(host.opened[0], {{"a1"}});
    EXPECT_FALSE(cycle.busy());
    ASSERT_EQ(notifier.mails.size(), 2u);
    EXPECT_EQ(notifier.mails[1].firstItemNo, "w1");

    ASSERT_TRUE(cycle.followCycle({}));
    EXPECT_TRUE(host.tabs[dog].collecting);
    runThrough(host.opened[0], {{"a1"}});
    runThrough(dog, {{"d2", "d1"}});
    EXPECT_EQ(cycle.newCount(dog), 1);
    EXPECT_EQ(host.tabs[dog].newShown, std::vector<std::string>{"d2"});
}

TEST_F(SavedSearchCycleTest, ARunCutAtThePageLimitSaysSo)
{
    writeFile({savedSearch("zmany")});
    cycle.start();
    const SavedTabId tab = host.opened[0];
    for (int i = 0; i < SavedSearchRun::kMaxPages; ++i)
        cycle.pageCollected(tab, page({"p" + std::to_string(i)}), true, true);
    EXPECT_FALSE(host.tabs[tab].collecting);
    runLoop();
    EXPECT_FALSE(cycle.busy());
    EXPECT_EQ(host.statuses, std::vector<std::string>{savedSearchPageLimitStatus(host.tabs[tab].request)});
}

TEST_F(SavedSearchCycleTest, OnlyARunThatSawEveryPageArchivesWhatItNoLongerFinds)
{
    HistoryTime clock = t0;
    HistoryStore store([&clock] { return clock; });
    ASSERT_TRUE(store.open(host.folder.file("history.db"), 365).status.ok());
    cycle.setHistory(&store);
    writeFile({savedSearch("zcam")});
    cycle.start();
    const SavedTabId tab = host.opened[0];
    ItemInfo ending = listing("e1");
    ending.RemainTime = saved_search_test_text::kRemain10Minute;
    cycle.pageCollected(tab, {ending, listing("a1")}, false, true);
    runLoop();
    EXPECT_EQ(store.listingHistory("a1").observations.size(), 1u) << "the run's listings are recorded";
    clock += hours(1);

    // A run that breaks cannot tell the listing is gone.
    ASSERT_TRUE(cycle.followCycle({}));
    cycle.pageCollected(tab, page({"a1"}), true, true);
    cycle.runBroken(tab);
    runLoop();
    EXPECT_TRUE(store.archiveRows().empty());

    ASSERT_TRUE(cycle.followCycle({}));
    runThrough(tab, {{"a1"}});
    const std::vector<ArchiveRow> archived = store.archiveRows();
    ASSERT_EQ(archived.size(), 1u);
    EXPECT_EQ(archived[0].itemNo, "e1");

    // A new listing like the one that ended is told as its relisting.
    ASSERT_TRUE(cycle.followCycle({}));
    runThrough(tab, {{"a1", "r1"}});
    const std::string note = NewListingAlerts::relistingNote(archived[0].finalPrice);
    ASSERT_FALSE(note.empty());
    EXPECT_NE(notifier.mails.back().text.find(note), std::string::npos);
}

TEST_F(SavedSearchCycleTest, ExitDuringTheRunsMailsTheHeldAlarmsAndKeepsWhatWasSeen)
{
    writeFile({savedSearch("zcam", {"a1"}), savedSearch("zdog", {"b1"})});
    cycle.start();
    runThrough(host.opened[0], {{"a1"}});
    runThrough(host.opened[1], {{"b1"}});
    notifier.mails.clear();

    ASSERT_TRUE(cycle.followCycle(watchedAlarms("w1")));
    runThrough(host.opened[0], {{"a2"}});
    cycle.pageCollected(host.opened[1], page({"b2"}), true, true);
    cycle.shutdown();
    EXPECT_FALSE(cycle.busy());
    EXPECT_FALSE(host.tabs[host.opened[1]].collecting);
    ASSERT_EQ(notifier.mails.size(), 1u);
    EXPECT_EQ(notifier.mails[0].firstItemNo, "w1");
    EXPECT_NE(notifier.mails[0].text.find("a2"), std::string::npos);
    EXPECT_TRUE(notifier.alerts.empty()) << "no balloon on the way out";
    EXPECT_EQ(host.fileSearches()[0].seen.size(), 2u);

    // A run's late report finds nothing to touch.
    cycle.pageCollected(host.opened[1], page({"b3"}), false, true);
    cycle.runEnded(host.opened[1]);
    EXPECT_EQ(notifier.mails.size(), 1u);
    EXPECT_FALSE(cycle.followCycle(watchedAlarms("w2")));
}

TEST_F(SavedSearchCycleTest, FileThatCannotBeReadOrWritten)
{
    {
        SCOPED_TRACE("moved aside");
        Rig aside;
        ASSERT_TRUE(
            platform::writeFileAtomically(aside.host.folder.file(kSavedSearchFileName), "<root><Saved"));
        aside.cycle.start();
        ASSERT_EQ(aside.host.statuses.size(), 1u);
        EXPECT_NE(aside.host.statuses[0].find(kSavedSearchFileName), std::string::npos);
        EXPECT_TRUE(aside.host.opened.empty());
    }
    // A write that fails is said once and tried again when the next run ends.
    writeFile({savedSearch("zcam")});
    cycle.start();
    host.saveFails = true;
    runThrough(host.opened[0], {{"a1"}});
    ASSERT_TRUE(cycle.followCycle({}));
    runThrough(host.opened[0], {{"a1", "a2"}});
    EXPECT_EQ(std::count(host.statuses.begin(), host.statuses.end(), savedSearchFileNotSavedStatus()), 1);
    host.saveFails = false;
    ASSERT_TRUE(cycle.followCycle({}));
    runThrough(host.opened[0], {{"a1", "a2"}});
    EXPECT_EQ(host.fileSearches()[0].seen.size(), 2u);
}

} // namespace
} // namespace pelimo
