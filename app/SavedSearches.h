#pragma once

#include "search/RunCollector.h"
#include "search/SavedTabsHost.h"
#include "search/saved/NewListingAlerts.h"
#include "search/saved/SavedSearchList.h"
#include "search/saved/SavedSearchRun.h"
#include "watch/WatchList.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

struct EnvSettings;
class CRkFormView;
class HistoryStore;

// The saved searches at work: each has a search tab of its own, runs once at start-up and
// again after every regular watch cycle, and tells the listings it has not seen before by the
// alert balloon and, together with the cycle's watched alarms, in the cycle's one mail.
class SavedSearches final : public QObject, public SavedTabsHost, private RunCollector {
    Q_OBJECT
public:
    using StatusSink = std::function<void(const std::string& sjis)>;
    using Clock = std::function<SeenSet::Time()>;

    // directory holds SearchList.xml, as the watch list's folder holds AramList.xml; the
    // notifier tells what the runs found, as it tells the watch list's alarms.
    SavedSearches(CRkFormView& view, const EnvSettings& settings, StatusSink showStatus,
                  AlarmNotifier& notifier, std::string directory = {}, QObject* parent = nullptr);
    ~SavedSearches() override;
    SavedSearches(const SavedSearches&) = delete;
    SavedSearches& operator=(const SavedSearches&) = delete;

    // Reads SearchList.xml and opens the saved searches, up to the limit, in tabs of their own;
    // each runs once. The status line says how many more the file holds.
    void start();
    // The watch cycle's follow-up: re-runs the saved searches; true when their runs take the
    // cycle's alarms over.
    bool cycleFollowUp(const CycleAlarms& alarms);
    // The program closes: no run is heard or saved from now on; the alarms held for the runs go
    // out by mail and push with what the ended runs found.
    void shutdown();

    // SavedTabsHost
    bool isSaved(const CRkItemList& list) const override;
    void toggleSaved(CRkItemList& list) override;
    void tabShown(CRkItemList& list) override;

    const SavedSearchList& searches() const { return saved; }
    // Whether runs are going whose alarms are still to be told.
    bool busy() const { return batch.active; }
    // The new listings a saved search's tab counts until the user shows it.
    int newCount(const CRkItemList& list) const;
    void setClock(Clock c) { now = std::move(c); }
    // Where each run records what it found, and archives what stopped being reported after
    // its time ran out; none keeps no history. The store outlives this object.
    void setHistory(HistoryStore* store) { history = store; }

private:
    // What the program knows of one saved search beyond its file: its tab and its run.
    struct Watch {
        QPointer<CRkItemList> tab;
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

    void pageCollected(CRkItemList& list, std::vector<ItemInfo> rows, bool more) override;
    void runBroken(CRkItemList& list) override;
    // Opens a tab for the search and runs it as a search from the command bar runs.
    bool openTab(size_t index);
    bool startRun(size_t index);
    void finishRun(CRkItemList* list);
    void endRun(size_t index);
    void recordRun(const SavedSearch& search, const SavedSearchRun& run);
    void deliver();
    // The batch's alarms: the alert when asked for, then the one mail and push.
    void tell(const Batch& done, bool withBalloon);
    // No run is heard from now on; returns the batch the runs had going.
    Batch stopRuns();
    void decorate(size_t index);
    void save();
    int indexOfTab(const CRkItemList* list) const;

    CRkFormView& view;
    const EnvSettings& settings;
    StatusSink showStatus;
    AlarmNotifier& notifier;
    std::string directory;
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
