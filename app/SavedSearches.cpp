#include "app/SavedSearches.h"

#include "AppTexts.h"
#include "app/CRkFormView.h"
#include "history/HistoryStatus.h"
#include "history/HistoryStore.h"
#include "notify/AlarmText.h"
#include "platform/text/TextFill.h"
#include "search/CRkItemList.h"
#include "search/CRkTabCtrl.h"
#include "search/saved/NewListingRules.h"
#include "search/saved/SavedSearchFile.h"
#include "search/saved/SavedSearchStatus.h"
#include "settings/EnvSettings.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <unordered_set>

namespace pelimo {

SavedSearches::SavedSearches(CRkFormView& view, const EnvSettings& settings, StatusSink showStatus,
                             AlarmNotifier& notifier, std::string directory, QObject* parent)
    : QObject(parent), view(view), settings(settings), showStatus(std::move(showStatus)), notifier(notifier),
      directory(std::move(directory)),
      now([] { return std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now()); })
{}

SavedSearches::~SavedSearches()
{
    // The view may be gone already: nothing is told from here.
    if (!closing)
        stopRuns();
}

void SavedSearches::start()
{
    SavedSearchFileLoad load = loadSavedSearchFile(directory, now());
    switch (load.outcome) {
    case SavedSearchFileLoad::Outcome::movedAside:
        showStatus(savedSearchFileMovedAsideStatus(load.movedTo));
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
        showStatus(savedSearchesLeftOutStatus(total - watches.size()));
}

bool SavedSearches::openTab(size_t index)
{
    SearchRequest request = saved.searches()[index].request;
    request.page = 1;
    CRkItemList* list = view.startSearch(request);
    if (list == nullptr)
        return false;
    Watch& w = watches[index];
    w.tab = list;
    w.run = std::make_unique<SavedSearchRun>();
    w.rowsShown = true;
    w.newCount = 0; // counted for a tab that has gone
    list->paging().setPageLimit(SavedSearchRun::kMaxPages);
    list->collectRun(*this);
    decorate(index);
    if (!batch.active)
        batch = Batch{};
    batch.active = true;
    ++batch.pending;
    return true;
}

bool SavedSearches::startRun(size_t index)
{
    Watch& w = watches[index];
    if (w.run)
        return false; // still running: never twice at once
    if (!w.tab || w.tab->isClosing())
        return openTab(index);
    if (!w.tab->canRerun())
        return false;
    w.run = std::make_unique<SavedSearchRun>();
    w.rowsShown = false;
    w.tab->paging().setPageLimit(SavedSearchRun::kMaxPages);
    if (!w.tab->rerun(*this)) {
        w.run.reset();
        return false;
    }
    ++batch.pending;
    return true;
}

bool SavedSearches::cycleFollowUp(const CycleAlarms& alarms)
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
        batch.watchedFirst = alarms.firstItemNo;
        batch.watchedFirstPicture = alarms.firstPicture;
    }
    batch.watchedLines += alarms.mailText;
    if (!alarms.mailText.empty()) {
        batch.watchedCount += alarms.count;
        batch.watchedHasNearEnd = batch.watchedHasNearEnd || alarms.hasNearEnd;
    }
    if (batch.pending == 0)
        deliver();
    return true;
}

void SavedSearches::pageCollected(CRkItemList& list, std::vector<ItemInfo> rows, bool more)
{
    const int index = indexOfTab(&list);
    if (index < 0 || !watches[static_cast<size_t>(index)].run)
        return;
    SavedSearchRun& run = *watches[static_cast<size_t>(index)].run;
    // The list decides whether its run goes on: a run it ended early (a page without listings,
    // the page limit) ends here too, whatever the service says of further pages.
    if (run.addPage(std::move(rows), more) && more && list.isCollecting())
        return;
    if (run.running())
        run.fail();
    list.stopCollecting();
    // Told from inside the list's run: the rest waits for the event loop.
    const QPointer<CRkItemList> tab(&list);
    QMetaObject::invokeMethod(
        this, [this, tab] { finishRun(tab.data()); }, Qt::QueuedConnection);
}

void SavedSearches::runBroken(CRkItemList& list)
{
    const int index = indexOfTab(&list);
    if (index < 0 || !watches[static_cast<size_t>(index)].run)
        return;
    watches[static_cast<size_t>(index)].run->fail();
    const QPointer<CRkItemList> tab(&list);
    QMetaObject::invokeMethod(
        this, [this, tab] { finishRun(tab.data()); }, Qt::QueuedConnection);
}

void SavedSearches::finishRun(CRkItemList* list)
{
    if (closing)
        return;
    const int index = indexOfTab(list);
    if (index >= 0)
        endRun(static_cast<size_t>(index));
    else if (list == nullptr) {
        // The tab went meanwhile: its run ends with what it had found.
        for (size_t i = 0; i < watches.size(); ++i) {
            if (watches[i].run && !watches[i].tab)
                endRun(i);
        }
    }
}

void SavedSearches::endRun(size_t index)
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
        showStatus(savedSearchPageLimitStatus(search.request));
    if (!report.newListings.empty()) {
        if (w.tab) {
            // A run on the command bar's path has shown its rows; a re-run adds only these.
            if (w.rowsShown)
                w.tab->markNew(report.newListings);
            else
                w.tab->addNewListings(report.newListings);
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
        save();
}

void SavedSearches::recordRun(const SavedSearch& search, const SavedSearchRun& run)
{
    if (history == nullptr || !history->isOpen())
        return;
    const std::string& keyword = search.request.text;
    HistoryBatch batch = history->openBatch(ListingOrigin::savedSearch(keyword));
    batch.reserve(run.listings().size());
    for (const ItemInfo& item : run.listings())
        batch.record(item);
    // Only a run that saw every page the service had can tell a listing is no longer there.
    if (run.complete() && !run.cutAtLimit()) {
        std::unordered_set<std::string> reported;
        for (const ItemInfo& item : run.listings())
            reported.insert(item.ItemNo);
        for (const std::string& itemNo : history->listingsPastEnd(keyword, history->now())) {
            if (reported.count(itemNo) == 0)
                batch.archiveUnreported(itemNo);
        }
    }
    if (!history->commit(batch).status.ok())
        showStatus(historyNotWrittenStatus());
}

void SavedSearches::deliver()
{
    Batch done = std::move(batch);
    batch = Batch{};
    if (unsaved)
        save();
    tell(done, true);
}

void SavedSearches::tell(const Batch& done, bool withBalloon)
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

void SavedSearches::shutdown()
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

SavedSearches::Batch SavedSearches::stopRuns()
{
    closing = true;
    // What the runs ended so far have seen is kept, so a restart does not tell it again.
    if (unsaved)
        save();
    for (Watch& w : watches) {
        if (w.tab)
            w.tab->stopCollecting();
        w.run.reset();
    }
    Batch held = std::move(batch);
    batch = Batch{};
    return held;
}

bool SavedSearches::isSaved(const CRkItemList& list) const
{
    return indexOfTab(&list) >= 0;
}

void SavedSearches::toggleSaved(CRkItemList& list)
{
    if (closing)
        return;
    if (const int index = indexOfTab(&list); index >= 0) {
        const size_t i = static_cast<size_t>(index);
        const Watch w = std::move(watches[i]);
        // By position: a file may hold the same search twice.
        watches.erase(watches.begin() + index);
        saved.searches().erase(saved.searches().begin() + index);
        // The first search left out moves up to the limit: its tab opens at the next cycle.
        if (saved.searches().size() > watches.size() && watches.size() < SavedSearchList::kMaxSearches)
            watches.emplace_back();
        list.stopCollecting();
        list.clearNewMarks();
        // An ordinary search again: the pages the user resumes are not cut at a run's limit.
        list.paging().setPageLimit(PagingSession::kMaxPages);
        if (CRkTabCtrl* tabs = view.tabCtrl())
            tabs->setTabDecoration(list, false, 0);
        save();
        // Its run no longer counts for the cycle.
        if (w.run && batch.active && batch.pending > 0 && --batch.pending == 0)
            deliver();
        return;
    }
    const SearchRequest& request = list.search();
    switch (saved.add(request)) {
    case SavedSearchList::AddResult::full:
        showStatus(savedSearchListFullStatus());
        return;
    case SavedSearchList::AddResult::alreadySaved: {
        // This tab takes over a saved search whose tab has gone; one still open keeps it.
        bool takenOver = false;
        for (size_t i = 0; i < watches.size(); ++i) {
            if (sameSearch(saved.searches()[i].request, request) && !watches[i].tab && !watches[i].run) {
                watches[i].tab = &list;
                decorate(i);
                takenOver = true;
            }
        }
        if (!takenOver)
            showStatus(savedSearchAlreadySavedStatus());
        return;
    }
    case SavedSearchList::AddResult::added:
        break;
    }
    watches.emplace_back();
    watches.back().tab = &list;
    // A tab that has loaded all its pages shows what exists: that is the silent first run, so
    // a listing that appears before the next cycle, even while the program is closed, is new.
    if (list.progress().state == ListState::Complete && !list.isRunning()) {
        SavedSearchRun shown;
        shown.addPage(list.records(), false);
        applyRun(saved.searches().back(), shown, now());
    }
    decorate(watches.size() - 1);
    save();
}

void SavedSearches::tabShown(CRkItemList& list)
{
    const int index = indexOfTab(&list);
    if (index < 0 || watches[static_cast<size_t>(index)].newCount == 0)
        return;
    watches[static_cast<size_t>(index)].newCount = 0;
    list.clearNewMarks();
    decorate(static_cast<size_t>(index));
}

int SavedSearches::newCount(const CRkItemList& list) const
{
    const int index = indexOfTab(&list);
    return index < 0 ? 0 : watches[static_cast<size_t>(index)].newCount;
}

void SavedSearches::decorate(size_t index)
{
    const Watch& w = watches[index];
    CRkTabCtrl* tabs = view.tabCtrl();
    if (tabs == nullptr || !w.tab)
        return;
    tabs->setTabDecoration(*w.tab, true, w.newCount);
    // What the listings it found and saw end went for.
    std::string tip;
    if (history != nullptr && index < saved.searches().size()) {
        const PriceStats stats = history->finalPricesOfSearch(saved.searches()[index].request.text);
        if (stats.median)
            tip = fillText(app_text::kSavedTabMedianTip,
                           {std::to_string(*stats.median), static_cast<long long>(stats.count)});
    }
    tabs->setTabTip(*w.tab, tip);
}

void SavedSearches::save()
{
    unsaved = false;
    if (fileProtected)
        return;
    if (saveSavedSearchFile(saved.searches(), directory)) {
        saveFailed = false;
        return;
    }
    // What the runs saw stays to be written at the next chance; said once until a save works.
    unsaved = true;
    if (!saveFailed)
        showStatus(savedSearchFileNotSavedStatus());
    saveFailed = true;
}

int SavedSearches::indexOfTab(const CRkItemList* list) const
{
    if (list == nullptr)
        return -1;
    for (size_t i = 0; i < watches.size(); ++i) {
        if (watches[i].tab == list)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace pelimo
