#include "watch/WatchList.h"

#include "WatchTexts.h"
#include "platform/EventPump.h"
#include "watch/AlarmRules.h"
#include "watch/AramFile.h"
#include "watch/TextFill.h"
#include "xmlclient/ListingQueries.h"
#include "xmlclient/XmlDocumentClient.h"

#include <algorithm>
#include <climits>
#include <unordered_set>
#include <utility>

namespace pelimo {

WatchList::WatchList(const EnvSettings& s, const Endpoints& e, WatchListHost& h, AlertMailer m,
                     std::string dir)
    : settings(s), endpoints(e), windows(h), mailer(std::move(m)), directory(std::move(dir))
{}

WatchList::~WatchList() = default;

void WatchList::load()
{
    AramFileLoad loaded = loadAramFile(directory);
    if (loaded.outcome == AramFileLoad::Outcome::movedAside)
        windows.setStatusLine(fillText(watch_text::kStatusFileMovedAside, {loaded.movedTo}));
    fileProtected = loaded.outcome == AramFileLoad::Outcome::unreadable;
    for (ItemInfo& r : loaded.records) {
        if (findEntry(r.ItemNo) >= 0)
            continue;
        list.push_back(AramEntry{0, std::move(r)});
        if (view)
            view->entryAppended(list.back());
    }
}

bool WatchList::addEntry(const ItemInfo& item)
{
    if (findEntry(item.ItemNo) >= 0)
        return false;
    list.push_back(AramEntry{0, item});
    if (view)
        view->entryAppended(list.back());
    save();
    return true;
}

bool WatchList::removeEntry(const std::string& itemNo)
{
    const int32_t pos = findEntry(itemNo);
    if (pos < 0)
        return false;
    list.erase(list.begin() + pos);
    save();
    return true;
}

bool WatchList::save() const
{
    if (fileProtected)
        return false;
    std::vector<ItemInfo> records;
    records.reserve(list.size());
    for (const AramEntry& e : list)
        records.push_back(e.info);
    return saveAramFile(records, directory);
}

int32_t WatchList::findEntry(std::string_view itemNo) const
{
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].info.ItemNo == itemNo)
            return static_cast<int32_t>(i);
    }
    return -1;
}

int32_t WatchList::fetchEntry(XmlDocumentClient& client, ItemInfo& record) const
{
    // Copies, as the list may be gone by the time the query's wait returns.
    const Endpoints where = endpoints;
    ItemInfo fresh;
    if (queryItem(client, where, record.ItemNo, fresh) != 0 || fresh.ItemNo != record.ItemNo)
        return 1;
    record = std::move(fresh);
    return 0;
}

std::chrono::milliseconds WatchList::timerInterval() const
{
    // 0 or less would make the timer fire back to back; huge values would overflow the
    // platform's timer period.
    const long long minutes = std::max<long long>(1, settings.watchIntervalMinutes);
    return std::chrono::milliseconds(std::min<long long>(minutes * 60000, INT_MAX));
}

void WatchList::updateNow()
{
    if (busyFlag == 1)
        return;
    runUpdateCycle();
}

void WatchList::requestExit()
{
    if (busyFlag == 1)
        exitFlag = 1;
    else
        windows.watchListClosed();
}

void WatchList::runUpdateCycle()
{
    if (busyFlag == 1)
        return;
    busyFlag = 1;
    const std::weak_ptr<char> guard = alive;
    AlarmCollection collected;
    // A client of the cycle's own, kept for the whole pass so its connection is reused.
    XmlDocumentClient client;
    // Entries can come and go while the pump runs handlers; each listing is found again by
    // its number, and the numbers already handled keep a removal from skipping or repeating
    // any entry.
    std::unordered_set<std::string> visited;

    size_t i = 0;
    while (i < list.size()) {
        if (exitFlag != 0)
            break;
        const std::string itemNo = list[i].info.ItemNo;
        visited.insert(itemNo);
        windows.setStatusLine(fillText(watch_text::kStatusUpdating, {itemNo, list[i].info.ItemName}));
        // Pending events are handled before the fetch; the pump's pause is left out here, as
        // the fetch that follows waits on its socket anyway and the pause alone would cost a
        // second per thousand listings.
        platform::dispatchPendingEvents();
        if (guard.expired())
            return;

        // The entry is usually still where it was; a full search only after a removal.
        const auto locate = [this, &itemNo, i]() -> int32_t {
            if (i < list.size() && list[i].info.ItemNo == itemNo)
                return static_cast<int32_t>(i);
            return findEntry(itemNo);
        };
        int32_t pos = locate();
        if (pos >= 0) {
            ItemInfo fresh = list[static_cast<size_t>(pos)].info;
            const int32_t rc = fetchEntry(client, fresh);
            if (guard.expired())
                return;
            pos = locate();
            if (pos >= 0) {
                AramEntry& entry = list[static_cast<size_t>(pos)];
                if (rc != 0)
                    markFetchFailed(entry.info);
                else
                    collected.addUpdated(entry, fresh, checkAlarm(entry, fresh, settings));
                if (isOn(settings.autoRefreshDetail))
                    windows.refreshAlertItem(ItemInfo(entry.info));
            }
        }
        windows.setStatusLine({});
        platform::dispatchPendingEvents();
        if (guard.expired())
            return;

        pos = locate();
        i = pos >= 0 ? static_cast<size_t>(pos) + 1 : 0;
        while (i < list.size() && visited.count(list[i].info.ItemNo))
            ++i;
    }

    if (view) {
        for (const AramEntry& e : list)
            view->refreshRow(e);
    }
    const std::string balloon = collected.balloonText();
    if (!balloon.empty() && isOn(settings.alarmBalloon))
        windows.showBalloon(balloon, collected.firstNew());
    if (!collected.mailText().empty() && isOn(settings.alarmMail) && mailer) {
        WatchListHost* h = &windows;
        const AlertMailer send = mailer;
        send(settings, collected.mailText(), [h, guard](const std::string& text) {
            if (!guard.expired())
                h->showMailStatus(text);
        });
        if (guard.expired())
            return;
    }
    if (view && !list.empty())
        view->repaintRows();
    busyFlag = 0;
    if (exitFlag == 1)
        windows.watchListClosed();
    windows.setTrayIcon(collected.alarmCount() >= 1 ? kTrayIconAlarm : kTrayIconNormal);
}

} // namespace pelimo
