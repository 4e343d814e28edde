#pragma once

#include "history/HistoryBatch.h"
#include "notify/AlarmNotifier.h"
#include "settings/EnvSettings.h"
#include "watch/AramEntry.h"
#include "watch/NearEndPolling.h"
#include "watch/PriceCeilings.h"
#include "watch/WatchListHost.h"
#include "xmlclient/Endpoints.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace pelimo {

class AlarmCollection;
class HistoryStore;
class XmlDocumentClient;

// What a regular cycle collected for the alert mail: the alarm lines of the watched listings
// (empty when none alarmed) and the item number of the first listing they name.
struct CycleAlarms {
    std::string mailText;
    std::string firstItemNo;
    int32_t count = 0;       // the alarms the mail text tells
    bool hasNearEnd = false; // one of them at least a remaining-time alarm
    std::string firstPicture;
};

// Called at the end of every regular cycle with its alarms, where the cycle would mail them
// (the pass is still busy). Returns true when it takes over their delivery (the saved searches
// run after the watched listings, and the cycle's one mail goes when they are done, through
// the same notifier); false lets the cycle mail and push as it always did.
using CycleFollowUp = std::function<bool(const CycleAlarms&)>;

// The rows on screen, told about changes of the entries. The list control implements it.
class WatchListView {
public:
    virtual ~WatchListView() = default;

    virtual void entryAppended(const AramEntry& entry) = 0;
    // The entries a pass has fetched, told at once when it ends.
    virtual void refreshRows(const std::vector<const AramEntry*>& entries) = 0;
    virtual void repaintRows() = 0;
};

// The watched listings in the order they were added, their file, and the update cycle with
// its alarm rules. A pass's alarms go to the notifier. Runs on the user-interface thread;
// during a cycle the pump (and the fetches' own waits) let other handlers add and remove
// entries, request an update or the exit.
class WatchList {
public:
    // settings and endpoints are read at the moment of use; they, the host and the notifier
    // outlive the list. pump handles the pending events once; a pass runs it before and after
    // each listing's fetch.
    WatchList(const EnvSettings& settings, const Endpoints& endpoints, WatchListHost& host,
              AlarmNotifier& notifier, std::string directory = {}, std::function<void()> pump = {});
    ~WatchList();
    WatchList(const WatchList&) = delete;
    WatchList& operator=(const WatchList&) = delete;

    void setView(WatchListView* v) { view = v; }
    void setCycleFollowUp(CycleFollowUp f) { followUp = std::move(f); }
    // Where each pass records what it fetched, and the listings it saw end; none keeps no
    // history. A store that holds batches until it opens is recorded to as well. The store
    // outlives the list.
    void setHistory(HistoryStore* store) { history = store; }
    WatchListHost& host() const { return windows; }

    // Reads the file and adds its records, then the price ceilings; an unreadable file is moved
    // aside and the status line says where. Ceilings of listings the list does not hold are
    // kept for them and written back, not dropped.
    void load();
    // Appends a listing not yet watched (its item number as itemNumberOf gives it) and writes
    // the file; false for a known number or none. A ceiling kept for it applies again.
    bool addEntry(const ItemInfo& item);
    // Removes the entry of that number and writes the file; false when there is none.
    bool removeEntry(const std::string& itemNo);
    // Writes the file now, and the rules file when the ceilings changed since it was read or
    // written; false when either could not be written.
    bool save() const;

    // Sets the price ceiling of a watched listing, or clears it with nothing, and writes the
    // rules; false when the listing is not watched.
    bool setCeiling(const std::string& itemNo, std::optional<int32_t> ceilingPrice);
    std::optional<int32_t> ceiling(const std::string& itemNo) const;

    int32_t findEntry(std::string_view itemNo) const;
    int32_t isWatched(std::string_view itemNo) const { return findEntry(itemNo) >= 0 ? 1 : 0; }
    const std::vector<AramEntry>& entries() const { return list; }

    // One pass over all entries; returns at once while a pass is running. Asked for during a
    // fast tick, it runs as soon as the tick ends.
    void runUpdateCycle();
    // Between the regular cycles, when the faster polling is on: a pass over the listings
    // near their end only, with the same rules and notifications. Returns at once while a
    // pass is running, and does nothing when no listing is near its end.
    void runFastTick();
    // The item numbers a fast tick would fetch now, in list order.
    std::vector<std::string> fastTickSelection() const;

    void setNearEndSettings(const NearEndSettings& s) { nearEnd = s.clamped(); }
    const NearEndSettings& nearEndSettings() const { return nearEnd; }
    std::chrono::milliseconds fastTickInterval() const
    {
        return std::chrono::seconds(nearEnd.intervalSeconds);
    }
    // The clock the remaining times are counted down with; tests set their own.
    void setClock(std::function<NearEndPolling::Clock::time_point()> now) { clock = std::move(now); }
    // The "更新" button's request: a pass unless one is running (one held during a fast tick).
    void updateNow();
    // The main frame's exit request: answered at once when idle, else after the running pass.
    void requestExit();

    // 0 with the record replaced by a fresh copy of the listing, 1 when the service gave
    // nothing usable, or kServiceWaiting when it asked us to wait (the record is left as it
    // was).
    int32_t fetchEntry(XmlDocumentClient& client, ItemInfo& record) const;

    int32_t busy() const { return busyFlag; }

    // The watch timer's period from the current setting; at least one minute.
    std::chrono::milliseconds timerInterval() const;

private:
    // One pass over the entries, or over those named in only; the regular cycle and the
    // fast tick differ in nothing else.
    void runPass(const std::unordered_set<std::string>* only);
    // Fetches one listing and applies the rules to it, or adds its number to kept when the
    // service asked us to wait; false when the list was destroyed while the pump ran.
    bool updateEntry(XmlDocumentClient& client, size_t hint, const std::string& itemNo,
                     AlarmCollection& collected, std::unordered_set<std::string>& kept,
                     const std::weak_ptr<char>& guard);
    // Rows, alert, mail and push, repaint, the held exit and the tray icon at the end of a pass.
    void finishPass(const AlarmCollection& collected, const std::unordered_set<std::string>* only,
                    int32_t heldAlarms, const std::weak_ptr<char>& guard);
    // After a failed fetch: whether the listing's remaining time had run out, so it ended.
    bool endedAfterFailure(const std::string& itemNo, NearEndPolling::Clock::time_point now);
    // Writes what the pass saw to the history; a failure goes to the status bar.
    void commitPassHistory();
    // Where the entry of that number is now, looked for at the hint first.
    int32_t locateEntry(size_t hint, const std::string& itemNo) const;
    // Builds positions afresh, after list lost an entry or an entry's number changed.
    void reindex();
    // Writes the ceilings of the watched listings and the kept ones when they differ from the
    // file's; true when there was nothing to write.
    bool saveRules() const;

    const EnvSettings& settings;
    const Endpoints& endpoints;
    WatchListHost& windows;
    AlarmNotifier& notifier;
    CycleFollowUp followUp;
    std::string directory;
    std::function<void()> pump;
    WatchListView* view = nullptr;
    HistoryStore* history = nullptr;
    // What the running pass saw, written in one transaction when it ends.
    std::optional<HistoryBatch> passHistory;

    std::vector<AramEntry> list;
    // Where each item number's first entry is in list, kept in step with it: every search row
    // asks whether its listing is watched.
    struct NumberHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, size_t, NumberHash, std::equal_to<>> positions;
    NearEndSettings nearEnd;
    NearEndPolling polling;
    std::function<NearEndPolling::Clock::time_point()> clock = [] {
        return NearEndPolling::Clock::now();
    };
    int32_t busyFlag = 0;
    int32_t exitFlag = 0;
    // Fetches of the pass in progress that failed.
    int32_t passFailures = 0;
    bool fastTickRunning = false;
    // A regular cycle asked for during a fast tick, to run when the tick ends.
    bool cycleHeld = false;
    // Saves are held back when an unreadable file could not be moved out of the way.
    bool fileProtected = false;
    // Likewise for the rules file.
    bool rulesProtected = false;
    std::unordered_map<std::string, int32_t> ceilings; // of watched listings
    // Rules read for listings the list does not hold, in the file's order. The list may have
    // come from a damaged file moved aside or from an older copy; the user's ceilings must
    // not go with it.
    std::vector<PriceRule> keptRules;
    // The rules as the file holds them, by item number; the file is rewritten only when they
    // change, so a list that is not to be trusted leaves it as it was.
    mutable std::vector<PriceRule> rulesOnFile;
    // Expires with the object, so a cycle resumed after a pump knows it must not go on.
    std::shared_ptr<char> alive = std::make_shared<char>();
};

} // namespace pelimo
