#include "app/SavedSearches.h"

#include "AppTexts.h"
#include "app/CRkFormView.h"
#include "history/HistoryStore.h"
#include "notify/AlarmText.h"
#include "platform/text/TextFill.h"
#include "search/CRkItemList.h"
#include "search/CRkTabCtrl.h"
#include "search/PagingSession.h"

#include <QMetaObject>
#include <algorithm>

namespace pelimo {

SavedSearches::SavedSearches(CRkFormView& view, StatusSink showStatus, AlarmNotifier& notifier,
                             std::string directory, QObject* parent)
    : QObject(parent), view(view), statusSink(std::move(showStatus)), directory(std::move(directory)),
      cycle(*this, notifier)
{}

SavedSearches::~SavedSearches()
{
    // The view may be gone already: nothing is told from here.
    cycle.stop();
}

bool SavedSearches::cycleFollowUp(const CycleAlarms& alarms)
{
    return cycle.followCycle(
        AlarmBatch{std::string(alarmsTitle()), alarms.mailText, alarms.firstItemNo, alarms.count,
                   alarms.hasNearEnd ? AlarmKind::nearEnd : AlarmKind::other, alarms.firstPicture});
}

void SavedSearches::setHistory(HistoryStore* store)
{
    history = store;
    cycle.setHistory(store);
}

void SavedSearches::toggleSaved(CRkItemList& list)
{
    if (cycle.closed())
        return;
    const SavedTabId tab = tabFor(list);
    if (cycle.isSaved(tab)) {
        cycle.unsave(tab);
        return;
    }
    const bool loaded = list.progress().state == ListState::Complete && !list.isRunning();
    cycle.save(tab, list.search(), loaded ? &list.records() : nullptr);
}

void SavedSearches::pageCollected(CRkItemList& list, std::vector<ItemInfo> rows, bool more)
{
    cycle.pageCollected(idOf(&list), std::move(rows), more, list.isCollecting());
}

SavedTabId SavedSearches::openRun(const SearchRequest& request)
{
    CRkItemList* list = view.startSearch(request);
    if (list == nullptr)
        return 0;
    list->paging().setPageLimit(SavedSearchRun::kMaxPages);
    list->collectRun(*this);
    return tabFor(*list);
}

bool SavedSearches::rerun(SavedTabId tab)
{
    CRkItemList* list = listOf(tab);
    if (list == nullptr || !list->canRerun())
        return false;
    list->paging().setPageLimit(SavedSearchRun::kMaxPages);
    return list->rerun(*this);
}

SavedTabState SavedSearches::tabState(SavedTabId tab) const
{
    const CRkItemList* list = listOf(tab);
    if (list == nullptr)
        return SavedTabState::gone;
    return list->isClosing() ? SavedTabState::closing : SavedTabState::open;
}

void SavedSearches::stopRun(SavedTabId tab)
{
    if (CRkItemList* list = listOf(tab))
        list->stopCollecting();
}

void SavedSearches::postRunEnd(SavedTabId tab)
{
    QMetaObject::invokeMethod(
        this, [this, tab] { cycle.runEnded(tab); }, Qt::QueuedConnection);
}

void SavedSearches::showNewListings(SavedTabId tab, const std::vector<ItemInfo>& listings,
                                    bool amongShownRows)
{
    CRkItemList* list = listOf(tab);
    if (list == nullptr)
        return;
    if (amongShownRows)
        list->markNew(listings);
    else
        list->addNewListings(listings);
}

void SavedSearches::clearNewMarks(SavedTabId tab)
{
    if (CRkItemList* list = listOf(tab))
        list->clearNewMarks();
}

void SavedSearches::showSavedTab(SavedTabId tab, const SavedSearch& search, int newCount)
{
    CRkTabCtrl* tabCtrl = view.tabCtrl();
    const CRkItemList* list = listOf(tab);
    if (tabCtrl == nullptr || list == nullptr)
        return;
    tabCtrl->setTabDecoration(*list, true, newCount);
    // What the listings it found and saw end went for.
    std::string tip;
    if (history != nullptr) {
        const PriceStats stats = history->finalPricesOfSearch(search.request.text);
        if (stats.median)
            tip = fillText(app_text::kSavedTabMedianTip,
                           {std::to_string(*stats.median), static_cast<long long>(stats.count)});
    }
    tabCtrl->setTabTip(*list, tip);
}

void SavedSearches::showUnsavedTab(SavedTabId tab)
{
    CRkItemList* list = listOf(tab);
    if (list == nullptr)
        return;
    list->clearNewMarks();
    // An ordinary search again: the pages the user resumes are not cut at a run's limit.
    list->paging().setPageLimit(PagingSession::kMaxPages);
    if (CRkTabCtrl* tabCtrl = view.tabCtrl())
        tabCtrl->setTabDecoration(*list, false, 0);
}

SavedSearchFileLoad SavedSearches::loadFile(SeenSet::Time now)
{
    return loadSavedSearchFile(directory, now);
}

bool SavedSearches::saveFile(const std::vector<SavedSearch>& searches)
{
    return saveSavedSearchFile(searches, directory);
}

SavedTabId SavedSearches::idOf(const CRkItemList* list) const
{
    if (list == nullptr)
        return 0;
    const auto found =
        std::find_if(tabs.begin(), tabs.end(), [list](const Tab& t) { return t.list == list; });
    return found == tabs.end() ? 0 : found->id;
}

SavedTabId SavedSearches::tabFor(CRkItemList& list)
{
    if (const SavedTabId known = idOf(&list); known != 0)
        return known;
    // The tabs that have gone keep no place; their ids stay unused.
    std::erase_if(tabs, [](const Tab& t) { return t.list.isNull(); });
    tabs.push_back(Tab{++lastId, &list});
    return lastId;
}

CRkItemList* SavedSearches::listOf(SavedTabId tab) const
{
    if (tab == 0)
        return nullptr;
    const auto found = std::find_if(tabs.begin(), tabs.end(), [tab](const Tab& t) { return t.id == tab; });
    return found == tabs.end() ? nullptr : found->list.data();
}

} // namespace pelimo
