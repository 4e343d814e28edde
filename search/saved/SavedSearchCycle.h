#pragma once

#include "notify/AlarmNotifier.h"
#include "search/saved/NewListingAlerts.h"
#include "search/saved/SavedSearchCycleHost.h"
#include "search/saved/SavedSearchList.h"
#include "search/saved/SavedSearchRun.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pelimo {

class HistoryStore;

// The saved searches at work: each has a search tab of its own, runs once at start-up and
// again after every regular watch cycle, and tells the listings it has not seen before by the
// alert balloon and, together with the cycle's watched alarms, in the cycle's one mail. The
// runs that go together form a batch: its alarms go out when the last of them has ended.
// Runs on the window's thread; the host and the notifier outlive it.
class SavedSearchCycle {
public:
    using Clock = std::function<SeenSet::Time()>;

    SavedSearchCycle(SavedSearchCycleHost& host, AlarmNotifier& notifier);
    SavedSearchCycle(const SavedSearchCycle&) = delete;
    SavedSearchCycle& operator=(const SavedSearchCycle&) = delete;

    // Reads the file and opens the saved searches, up to the limit, in tabs of their own; each
    // runs once. The status line says how many more the file holds.
    void start();
    // The watch cycle's follow-up: re-runs the saved searches; true when their runs take the
    // cycle's alarms (watched) over, to tell them in one mail with what the runs find.
    bool followCycle(const AlarmBatch& watched);
    // The program closes: no run is heard or saved from now on; the alarms held for the runs go
    // out by mail and push with what the ended runs found.
    void shutdown();
    // As shutdown, telling nothing: the windows go.
    void stop();

    // A page of the tab's run; listGoesOn says whether the list still hands its run over.
    void pageCollected(SavedTabId tab, std::vector<ItemInfo> rows, bool more, bool listGoesOn);
    // The tab's run ended before its last page.
    void runBroken(SavedTabId tab);
    // The end of a run, as posted to the host.
    void runEnded(SavedTabId tab);

    bool isSaved(SavedTabId tab) const { return indexOfTab(tab) >= 0; }
    // The tab popup's save: loadedRows are the tab's listings when it has loaded all its pages,
    // which stand for the search's silent first run; null while its pages still load.
    void save(SavedTabId tab, const SearchRequest& request, const std::vector<ItemInfo>* loadedRows);
    // The tab popup's unsave: the search leaves the file and runs no more.
    void unsave(SavedTabId tab);
    // The user has shown the tab: its new listings are no longer new.
    void tabShown(SavedTabId tab);

    const SavedSearchList& searches() const { return saved; }
    // Whether runs are going whose alarms are still to be told.
    bool busy() const { return batch.active; }
    bool closed() const { return closing; }
    // The new listings a saved search's tab counts until the user shows it.
    int newCount(SavedTabId tab) const;
    void setClock(Clock c) { now = std::move(c); }
    // Where each run records what it found, and archives what stopped being reported after
    // its time ran out; none keeps no history. The store outlives the cycle.
    void setHistory(HistoryStore* store) { history = store; }

private:
    // What the program knows of one saved search beyond its file: its tab and its run.
    struct Watch {
        SavedTabId tab = 0;
        std::unique_ptr<SavedSearchRun> run;
        bool rowsShown = false; // the run shows its pages as a search from the command bar does
        int newCount = 0;
    };
    // The runs whose alarms go out together: those a cycle started, or the start-up's.
    struct Batch {
        bool active = false;
        int pending = 0;
        std::string watchedLines;
        std::string watchedFirst;
        int32_t watchedCount = 0;
        bool watchedHasNearEnd = false;
        std::string watchedFirstPicture;
        NewListingAlerts alerts;
    };

    bool openTab(size_t index);
    bool startRun(size_t index);
    void endRun(size_t index);
    void recordRun(const SavedSearch& search, const SavedSearchRun& run);
    void deliver();
    // The batch's alarms: the alert when asked for, then the one mail and push.
    void tell(const Batch& done, bool withBalloon);
    // No run is heard from now on; returns the batch the runs had going.
    Batch stopRuns();
    void decorate(size_t index);
    void saveFile();
    int indexOfTab(SavedTabId tab) const;
    bool tabGone(SavedTabId tab) const { return host.tabState(tab) == SavedTabState::gone; }

    SavedSearchCycleHost& host;
    AlarmNotifier& notifier;
    Clock now;
    HistoryStore* history = nullptr;
    SavedSearchList saved;
    // Beside the first of saved.searches(), index for index, up to the limit; those beyond it
    // are only kept for the file.
    std::vector<Watch> watches;
    Batch batch;
    bool closing = false;
    // Saves are held back while an unreadable file could not be moved out of the way.
    bool fileProtected = false;
    // Runs have ended whose seen listings are not yet on file.
    bool unsaved = false;
    // The last write of the file failed, and the status line said so.
    bool saveFailed = false;
};

} // namespace pelimo
