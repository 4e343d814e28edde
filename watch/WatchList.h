#pragma once

#include "app/settings/EnvSettings.h"
#include "watch/AramEntry.h"
#include "watch/WatchListHost.h"
#include "xmlclient/Endpoints.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

class XmlDocumentClient;

using MailStatusSink = std::function<void(const std::string&)>;
// Sends the alert mail with the given body; the program passes the mail subsystem's sender.
using AlertMailer =
    std::function<bool(const EnvSettings&, const std::string& alertText, const MailStatusSink&)>;

// The rows on screen, told about changes of the entries. The list control implements it.
class WatchListView {
public:
    virtual ~WatchListView() = default;

    virtual void entryAppended(const AramEntry& entry) = 0;
    virtual void refreshRow(const AramEntry& entry) = 0;
    virtual void repaintRows() = 0;
};

// The watched listings in the order they were added, their file, and the update cycle with
// its alarm rules and notifications. Runs on the user-interface thread; during a cycle the
// pump lets other handlers add and remove entries, request an update or the exit.
class WatchList {
public:
    // settings and endpoints are read at the moment of use and outlive the list.
    WatchList(const EnvSettings& settings, const Endpoints& endpoints, WatchListHost& host,
              AlertMailer mailer, std::string directory = {});
    ~WatchList();
    WatchList(const WatchList&) = delete;
    WatchList& operator=(const WatchList&) = delete;

    void setView(WatchListView* v) { view = v; }
    WatchListHost& host() const { return windows; }

    // Reads the file and adds its records; an unreadable file is moved aside and the status
    // line says where.
    void load();
    // Appends a listing not yet watched and writes the file; false for a known number.
    bool addEntry(const ItemInfo& item);
    // Removes the entry of that number and writes the file; false when there is none.
    bool removeEntry(const std::string& itemNo);
    // Writes the file now; false when it could not be written.
    bool save() const;

    int32_t findEntry(std::string_view itemNo) const;
    int32_t isWatched(std::string_view itemNo) const { return findEntry(itemNo) >= 0 ? 1 : 0; }
    const std::vector<AramEntry>& entries() const { return list; }

    // One pass over all entries; returns at once while a pass is running.
    void runUpdateCycle();
    // The "更新" button's request: a pass unless one is running.
    void updateNow();
    // The main frame's exit request: answered at once when idle, else after the running pass.
    void requestExit();

    // 0 with the record replaced by a fresh copy of the listing, or 1 when the service gave
    // nothing usable (the record is left as it was).
    int32_t fetchEntry(XmlDocumentClient& client, ItemInfo& record) const;

    int32_t busy() const { return busyFlag; }
    int32_t exitRequested() const { return exitFlag; }

    // The watch timer's period from the current setting; at least one minute.
    std::chrono::milliseconds timerInterval() const;

private:
    const EnvSettings& settings;
    const Endpoints& endpoints;
    WatchListHost& windows;
    AlertMailer mailer;
    std::string directory;
    WatchListView* view = nullptr;

    std::vector<AramEntry> list;
    int32_t busyFlag = 0;
    int32_t exitFlag = 0;
    // Saves are held back when an unreadable file could not be moved out of the way.
    bool fileProtected = false;
    // Expires with the object, so a cycle resumed after a pump knows it must not go on.
    std::shared_ptr<char> alive = std::make_shared<char>();
};

} // namespace pelimo
