#include "search/saved/SavedSearchCycle.h"

#include "history/HistoryStatus.h"
#include "history/HistoryStore.h"
#include "notify/AlarmText.h"
#include "search/saved/NewListingRules.h"
#include "search/saved/SavedSearchStatus.h"

#include <algorithm>
#include <chrono>
#include <unordered_set>

namespace pelimo {

SavedSearchCycle::SavedSearchCycle(SavedSearchCycleHost& host, AlarmNotifier& notifier)
    : host(host), notifier(notifier),
      now([] { return std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now()); })
{}

void SavedSearchCycle::start()
{
    SavedSearchFileLoad load = host.loadFile(now());
    switch (load.outcome) {
    case SavedSearchFileLoad::Outcome::movedAside:
        host.showStatus(savedSearchFileMovedAsideStatus(load.movedTo));
        break;
    case SavedSearchFileLoad::Outcome::unreadable:
        fileProtected = true;
        break;
    case SavedSearchFileLoad::Outcome::loaded:
    case SavedSearchFileLoad::Outcome::missing:
        break;
    }
    saved = SavedSearchList(std::move(load.searches));
    // Only the first searches up to the limit open and run; the rest stay in the file as they
    // are, for the user to bring back by unsaving others.
    const size_t total = saved.searches().size();
    watches.resize(std::min(total, SavedSearchList::kMaxSearches));
    for (size_t i = 0; i < watches.size(); ++i)
        openTab(i);
    if (total > watches.size())
        host.showStatus(savedSearchesLeftOutStatus(total - watches.size()));
}

bool SavedSearchCycle::openTab(size_t index)
{
    SearchRequest request = saved.searches()[index].request;
    request.page = 1;
    const SavedTabId tab = host.openRun(request);
    if (tab == 0)
        return false;
    Watch& w = watches[index];
    w.tab = tab;
    w.run = std::make_unique<SavedSearchRun>();
    w.rowsShown = true;
    w.newCount = 0; // counted for a tab that has gone
    decorate(index);
    if (!batch.active)
        batch = Batch{};
    batch.active = true;
    ++batch.pending;
    return true;
}

bool SavedSearchCycle::startRun(size_t index)
{
    Watch& w = watches[index];
    if (w.run)
        return false; // still running: never twice at once
    if (host.tabState(w.tab) != SavedTabState::open)
        return openTab(index);
    w.run = std::make_unique<SavedSearchRun>();
    w.rowsShown = false;
    if (!host.rerun(w.tab)) {
        w.run.reset();
        return false;
    }
    ++batch.pending;
    return true;
}

bool SavedSearchCycle::followCycle(const AlarmBatch& watched)
{
    if (closing)
        return false;
    const bool wasActive = batch.active;
    if (!wasActive)
        batch = Batch{};
    batch.active = true; // a run that ends at once must not deliver before the others start
    int started = 0;
    for (size_t i = 0; i < watches.size(); ++i) {
        if (startRun(i))
            ++started;
    }
    if (started == 0 && !wasActive) {
        batch = Batch{};
        return false;
    }
    if (batch.watchedFirst.empty()) {
        batch.watchedFirst = watched.firstItemNo;
        batch.watchedFirstPicture = watched.firstPicture;
    }
    batch.watchedLines += watched.text;
    if (!watched.text.empty()) {
        batch.watchedCount += watched.count;
        batch.watchedHasNearEnd = batch.watchedHasNearEnd || watched.kind == AlarmKind::nearEnd;
    }
    if (batch.pending == 0)
        deliver();
    return true;
}

void SavedSearchCycle::pageCollected(SavedTabId tab, std::vector<ItemInfo> rows, bool more, bool listGoesOn)
{
    const int index = indexOfTab(tab);
    if (index < 0 || !watches[static_cast<size_t>(index)].run)
        return;
    SavedSearchRun& run = *watches[static_cast<size_t>(index)].run;
    // The list decides whether its run goes on: a run it ended early (a page without listings,
    // the page limit) ends here too, whatever the service says of further pages.
    if (run.addPage(std::move(rows), more) && more && listGoesOn)
        return;
    if (run.running())
        run.fail();
    host.stopRun(tab);
    host.postRunEnd(tab);
}

void SavedSearchCycle::runBroken(SavedTabId tab)
{
    const int index = indexOfTab(tab);
    if (index < 0 || !watches[static_cast<size_t>(index)].run)
        return;
    watches[static_cast<size_t>(index)].run->fail();
    host.postRunEnd(tab);
}

void SavedSearchCycle::runEnded(SavedTabId tab)
{
    if (closing)
        return;
    if (!tabGone(tab)) {
        if (const int index = indexOfTab(tab); index >= 0)
            endRun(static_cast<size_t>(index));
        return;
    }
    // The tab went meanwhile: its run ends with what it had found.
    for (size_t i = 0; i < watches.size(); ++i) {
        if (watches[i].run && tabGone(watches[i].tab))
            endRun(i);
    }
}

void SavedSearchCycle::endRun(size_t index)
{
    Watch& w = watches[index];
    if (!w.run)
        return;
    const std::unique_ptr<SavedSearchRun> run = std::move(w.run);
    SavedSearch& search = saved.searches()[index];
    const NewListingReport report = applyRun(search, *run, now());
    recordRun(search, *run);
    // The run may have archived listings: the tab's median follows.
    decorate(index);
    if (report.cutAtLimit)
        host.showStatus(savedSearchPageLimitStatus(search.request));
    if (!report.newListings.empty()) {
        if (!tabGone(w.tab)) {
            // A run on the command bar's path has shown its rows; a re-run adds only these.
            host.showNewListings(w.tab, report.newListings, w.rowsShown);
        }
        w.newCount += static_cast<int>(report.newListings.size());
        batch.alerts.add(search.request, report.newListings, [this](const ItemInfo& listing) {
            if (history == nullptr)
                return std::string();
            const std::optional<EndedListing> earlier =
                history->relistingOf(listing.ItemName, listing.ItemNo);
            return earlier ? NewListingAlerts::relistingNote(earlier->finalPrice) : std::string();
        });
        decorate(index);
    }
    // A cycle's runs end one after another; the file, which may hold 100,000 listings, is
    // written once, when the last of them has ended.
    unsaved = true;
    if (batch.active && batch.pending > 0 && --batch.pending == 0)
        deliver();
    else if (!batch.active)
        saveFile();
}

void SavedSearchCycle::recordRun(const SavedSearch& search, const SavedSearchRun& run)
{
    if (history == nullptr || !history->isOpen())
        return;
    const std::string& keyword = search.request.text;
    HistoryBatch seen = history->openBatch(ListingOrigin::savedSearch(keyword));
    seen.reserve(run.listings().size());
    for (const ItemInfo& item : run.listings())
        seen.record(item);
    // Only a run that saw every page the service had can tell a listing is no longer there.
    if (run.complete() && !run.cutAtLimit()) {
        std::unordered_set<std::string> reported;
        for (const ItemInfo& item : run.listings())
            reported.insert(item.ItemNo);
        for (const std::string& itemNo : history->listingsPastEnd(keyword, history->now())) {
            if (reported.count(itemNo) == 0)
                seen.archiveUnreported(itemNo);
        }
    }
    if (!history->commit(seen).status.ok())
        host.showStatus(historyNotWrittenStatus());
}

void SavedSearchCycle::deliver()
{
    Batch done = std::move(batch);
    batch = Batch{};
    if (unsaved)
        saveFile();
    tell(done, true);
}

void SavedSearchCycle::tell(const Batch& done, bool withBalloon)
{
    const NewListingAlerts& alerts = done.alerts;
    if (withBalloon && alerts.newCount() > 0)
        notifier.showAlert(NewListingAlerts::balloonTitle(), alerts.balloonText(), alerts.firstNew(),
                           alerts.newCount(), AlarmKind::other);
    const bool watched = !done.watchedLines.empty();
    // The mail that tells a remaining-time alarm goes out even in the quiet period, new listings and all.
    const bool nearEnd = watched && done.watchedHasNearEnd;
    notifier.sendAlarms(
        AlarmBatch{std::string(watched ? alarmsTitle() : newListingsTitle()),
                   alerts.mailText(done.watchedLines), watched ? done.watchedFirst : alerts.firstNew().ItemNo,
                   done.watchedCount + alerts.newCount(), nearEnd ? AlarmKind::nearEnd : AlarmKind::other,
                   watched ? done.watchedFirstPicture : alerts.firstNew().ImageUrl});
}

void SavedSearchCycle::shutdown()
{
    if (closing)
        return;
    const Batch held = stopRuns();
    // The alarms held for the runs still go out by mail and push, as a cycle cut short by the
    // exit mails what it has: the watched listings' are told nowhere else, and the new listings
    // of the runs that ended are on file as seen.
    if (held.active)
        tell(held, false);
}

void SavedSearchCycle::stop()
{
    if (!closing)
        stopRuns();
}

SavedSearchCycle::Batch SavedSearchCycle::stopRuns()
{
    closing = true;
    // What the runs ended so far have seen is kept, so a restart does not tell it again.
    if (unsaved)
        saveFile();
    for (Watch& w : watches) {
        if (!tabGone(w.tab))
            host.stopRun(w.tab);
        w.run.reset();
    }
    Batch held = std::move(batch);
    batch = Batch{};
    return held;
}

void SavedSearchCycle::unsave(SavedTabId tab)
{
    const int index = indexOfTab(tab);
    if (closing || index < 0)
        return;
    const Watch w = std::move(watches[static_cast<size_t>(index)]);
    // By position: a file may hold the same search twice.
    watches.erase(watches.begin() + index);
    saved.searches().erase(saved.searches().begin() + index);
    // The first search left out moves up to the limit: its tab opens at the next cycle.
    if (saved.searches().size() > watches.size() && watches.size() < SavedSearchList::kMaxSearches)
        watches.emplace_back();
    host.stopRun(tab);
    host.showUnsavedTab(tab);
    saveFile();
    // Its run no longer counts for the cycle.
    if (w.run && batch.active && batch.pending > 0 && --batch.pending == 0)
        deliver();
}

void SavedSearchCycle::save(SavedTabId tab, const SearchRequest& request,
                            const std::vector<ItemInfo>* loadedRows)
{
    if (closing || tab == 0)
        return;
    switch (saved.add(request)) {
    case SavedSearchList::AddResult::full:
        host.showStatus(savedSearchListFullStatus());
        return;
    case SavedSearchList::AddResult::alreadySaved: {
        // This tab takes over a saved search whose tab has gone; one still open keeps it.
        bool takenOver = false;
        for (size_t i = 0; i < watches.size(); ++i) {
            if (sameSearch(saved.searches()[i].request, request) && tabGone(watches[i].tab) &&
                !watches[i].run) {
                watches[i].tab = tab;
                decorate(i);
                takenOver = true;
            }
        }
        if (!takenOver)
            host.showStatus(savedSearchAlreadySavedStatus());
        return;
    }
    case SavedSearchList::AddResult::added:
        break;
    }
    watches.emplace_back();
    watches.back().tab = tab;
    // A tab that has loaded all its pages shows what exists: that is the silent first run, so
    // a listing that appears before the next cycle, even while the program is closed, is new.
    if (loadedRows != nullptr) {
        SavedSearchRun shown;
        shown.addPage(*loadedRows, false);
        applyRun(saved.searches().back(), shown, now());
    }
    decorate(watches.size() - 1);
    saveFile();
}

void SavedSearchCycle::tabShown(SavedTabId tab)
{
    const int index = indexOfTab(tab);
    if (index < 0 || watches[static_cast<size_t>(index)].newCount == 0)
        return;
    watches[static_cast<size_t>(index)].newCount = 0;
    host.clearNewMarks(tab);
    decorate(static_cast<size_t>(index));
}

int SavedSearchCycle::newCount(SavedTabId tab) const
{
    const int index = indexOfTab(tab);
    return index < 0 ? 0 : watches[static_cast<size_t>(index)].newCount;
}

void SavedSearchCycle::decorate(size_t index)
{
    const Watch& w = watches[index];
    if (!tabGone(w.tab))
        host.showSavedTab(w.tab, saved.searches()[index], w.newCount);
}

void SavedSearchCycle::saveFile()
{
    unsaved = false;
    if (fileProtected)
        return;
    if (host.saveFile(saved.searches())) {
        saveFailed = false;
        return;
    }
    // What the runs saw stays to be written at the next chance; said once until a save works.
    unsaved = true;
    if (!saveFailed)
        host.showStatus(savedSearchFileNotSavedStatus());
    saveFailed = true;
}

int SavedSearchCycle::indexOfTab(SavedTabId tab) const
{
    if (tab == 0)
        return -1;
    for (size_t i = 0; i < watches.size(); ++i) {
        if (watches[i].tab == tab)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace pelimo
