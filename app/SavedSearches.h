#pragma once

#include "search/RunCollector.h"
#include "search/SavedTabsHost.h"
#include "search/saved/SavedSearchCycle.h"
#include "watch/WatchList.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

namespace pelimo {

class CRkFormView;
class HistoryStore;

// The saved searches in the window: their cycle runs through the form view's search tabs, and
// the tab popup's save and unsave, the pages of the runs and the tabs the user shows go to it.
class SavedSearches final : public QObject,
                            public SavedTabsHost,
                            private RunCollector,
                            private SavedSearchCycleHost {
    Q_OBJECT
public:
    using StatusSink = std::function<void(const std::string& sjis)>;
    using Clock = SavedSearchCycle::Clock;

    // directory holds SearchList.xml, as the watch list's folder holds AramList.xml; the
    // notifier tells what the runs found, as it tells the watch list's alarms.
    SavedSearches(CRkFormView& view, StatusSink showStatus, AlarmNotifier& notifier,
                  std::string directory = {}, QObject* parent = nullptr);
    ~SavedSearches() override;
    SavedSearches(const SavedSearches&) = delete;
    SavedSearches& operator=(const SavedSearches&) = delete;

    void start() { cycle.start(); }
    // The watch cycle's follow-up: re-runs the saved searches; true when their runs take the
    // cycle's alarms over.
    bool cycleFollowUp(const CycleAlarms& alarms);
    void shutdown() { cycle.shutdown(); }

    // SavedTabsHost
    bool isSaved(const CRkItemList& list) const override { return cycle.isSaved(idOf(&list)); }
    void toggleSaved(CRkItemList& list) override;
    void tabShown(CRkItemList& list) override { cycle.tabShown(idOf(&list)); }

    const SavedSearchList& searches() const { return cycle.searches(); }
    bool busy() const { return cycle.busy(); }
    int newCount(const CRkItemList& list) const { return cycle.newCount(idOf(&list)); }
    void setClock(Clock c) { cycle.setClock(std::move(c)); }
    // The store outlives this object; it also gives the tabs' tips.
    void setHistory(HistoryStore* store);

private:
    struct Tab {
        SavedTabId id = 0;
        QPointer<CRkItemList> list;
    };

    // RunCollector
    void pageCollected(CRkItemList& list, std::vector<ItemInfo> rows, bool more) override;
    void runBroken(CRkItemList& list) override { cycle.runBroken(idOf(&list)); }

    // SavedSearchCycleHost
    SavedTabId openRun(const SearchRequest& request) override;
    bool rerun(SavedTabId tab) override;
    SavedTabState tabState(SavedTabId tab) const override;
    void stopRun(SavedTabId tab) override;
    void postRunEnd(SavedTabId tab) override;
    void showNewListings(SavedTabId tab, const std::vector<ItemInfo>& listings, bool amongShownRows) override;
    void clearNewMarks(SavedTabId tab) override;
    void showSavedTab(SavedTabId tab, const SavedSearch& search, int newCount) override;
    void showUnsavedTab(SavedTabId tab) override;
    SavedSearchFileLoad loadFile(SeenSet::Time now) override;
    bool saveFile(const std::vector<SavedSearch>& searches) override;
    void showStatus(const std::string& sjis) override { statusSink(sjis); }

    // The tab's id, given on first sight; 0 for none.
    SavedTabId idOf(const CRkItemList* list) const;
    SavedTabId tabFor(CRkItemList& list);
    CRkItemList* listOf(SavedTabId tab) const;

    CRkFormView& view;
    StatusSink statusSink;
    std::string directory;
    HistoryStore* history = nullptr;
    std::vector<Tab> tabs;
    SavedTabId lastId = 0;
    SavedSearchCycle cycle;
};

} // namespace pelimo
