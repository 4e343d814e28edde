#pragma once

#include "app/settings/EnvSettings.h"
#include "watch/AramEntry.h"
#include "watch/NearEndPolling.h"
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
class XmlDocumentClient;

using MailStatusSink = std::function<void(const std::string&)>;
// Sends the alert mail with the given body; the program passes the mail subsystem's sender.
using AlertMailer =
    std::function<bool(const EnvSettings&, const std::string& alertText, const MailStatusSink&)>;

// Takes a pass's newly collected alarms, as the alert mail's text, its title (Shift-JIS) and
// the item number of the first of them; the program pushes them to the phone when that is on.
using AlarmPusher = std::function<void(std::string_view titleSjis, const std::string& alarmText,
                                       const std::string& firstItemNo)>;

// What a regular cycle collected for the alert mail: the alarm lines of the watched listings
// (empty when none alarmed) and the item number of the first listing they name.
struct CycleAlarms {
    std::string mailText;
    std::string firstItemNo;
};

// Called at the end of every regular cycle with its alarms, where the cycle would mail them
// (the pass is still busy). Returns true when it takes over their delivery (the saved searches
// run after the watched listings, and the cycle's one mail goes when they are done, through
// deliverAlarms); false lets the cycle mail and push as it always did.
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
// its alarm rules and notifications. Runs on the user-interface thread; during a cycle the
// pump (and the fetches' own waits) let other handlers add and remove entries, request an
// update or the exit.
class WatchList {
public:
    // settings and endpoints are read at the moment of use and outlive the list. pump handles
    // the pending events once; a pass runs it before and after each listing's fetch.
    WatchList(const EnvSettings& settings, const Endpoints& endpoints, WatchListHost& host,
              AlertMailer mailer, std::string directory = {}, std::function<void()> pump = {});
    ~WatchList();
    WatchList(const WatchList&) = delete;
    WatchList& operator=(const WatchList&) = delete;

    void setView(WatchListView* v) { view = v; }
    void setPusher(AlarmPusher p) { pusher = std::move(p); }
    void setCycleFollowUp(CycleFollowUp f) { followUp = std::move(f); }
    WatchListHost& host() const { return windows; }

    // Reads the file and adds its records, then the price ceilings of the listings it holds;
    // an unreadable file is moved aside and the status line says where.
    void load();
    // Appends a listing not yet watched and writes the file; false for a known number.
    bool addEntry(const ItemInfo& item);
    // Removes the entry of that number and writes the file; false when there is none.
    bool removeEntry(const std::string& itemNo);
    // Writes the file now, and the ceilings of the listings still watched; false when either
    // could not be written.
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

    // 0 with the record replaced by a fresh copy of the listing, or 1 when the service gave
    // nothing usable (the record is left as it was).
    int32_t fetchEntry(XmlDocumentClient& client, ItemInfo& record) const;

    // Mails the alarm text when the alert mail is on, then pushes it under the title when a
    // pusher is set; nothing for an empty text. false when the list was destroyed meanwhile
    // (a handler run during the mail's waits may do that).
    bool deliverAlarms(const std::string& mailText, const std::string& firstItemNo,
                       std::string_view pushTitleSjis);

    int32_t busy() const { return busyFlag; }
    int32_t exitRequested() const { return exitFlag; }

    // The watch timer's period from the current setting; at least one minute.
    std::chrono::milliseconds timerInterval() const;

private:
    // One pass over the entries, or over those named in only; the regular cycle and the
    // fast tick differ in nothing else.
    void runPass(const std::unordered_set<std::string>* only);
    // Fetches one listing and applies the rules to it; false when the list was destroyed
    // while the pump ran.
    bool updateEntry(XmlDocumentClient& client, size_t hint, const std::string& itemNo,
                     AlarmCollection& collected, const std::weak_ptr<char>& guard);
    // Rows, balloon, mail, repaint, the held exit and the tray icon at the end of a pass.
    void finishPass(const AlarmCollection& collected, const std::unordered_set<std::string>* only,
                    int32_t heldAlarms, const std::weak_ptr<char>& guard);
    // Where the entry of that number is now, looked for at the hint first.
    int32_t locateEntry(size_t hint, const std::string& itemNo) const;

    const EnvSettings& settings;
    const Endpoints& endpoints;
    WatchListHost& windows;
    AlertMailer mailer;
    AlarmPusher pusher;
    CycleFollowUp followUp;
    std::string directory;
    std::function<void()> pump;
    WatchListView* view = nullptr;

    std::vector<AramEntry> list;
    NearEndSettings nearEnd;
    NearEndPolling polling;
    std::function<NearEndPolling::Clock::time_point()> clock = [] {
        return NearEndPolling::Clock::now();
    };
    int32_t busyFlag = 0;
    int32_t exitFlag = 0;
    bool fastTickRunning = false;
    // A regular cycle asked for during a fast tick, to run when the tick ends.
    bool cycleHeld = false;
    // Saves are held back when an unreadable file could not be moved out of the way.
    bool fileProtected = false;
    std::unordered_map<std::string, int32_t> ceilings;
    // Likewise for the rules file.
    bool rulesProtected = false;
    // Expires with the object, so a cycle resumed after a pump knows it must not go on.
    std::shared_ptr<char> alive = std::make_shared<char>();
};

} // namespace pelimo
