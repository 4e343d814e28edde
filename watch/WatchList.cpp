#include "watch/WatchList.h"

#include "WatchTexts.h"
#include "platform/FileSystem.h"
#include "watch/AlarmRules.h"
#include "watch/AramFile.h"
#include "watch/AramRules.h"
#include "watch/TextFill.h"
#include "xmlclient/ListingQueries.h"
#include "xmlclient/XmlDocumentClient.h"

#include <algorithm>
#include <climits>
#include <unordered_set>
#include <utility>

namespace pelimo {

WatchList::WatchList(const EnvSettings& s, const Endpoints& e, WatchListHost& h, AlertMailer m,
                     std::string dir, std::function<void()> p)
    : settings(s), endpoints(e), windows(h), mailer(std::move(m)), directory(std::move(dir)),
      pump(p ? std::move(p) : [] {})
{}

WatchList::~WatchList() = default;

void WatchList::load()
{
    AramFileLoad loaded = loadAramFile(directory);
    if (loaded.outcome == AramFileLoad::Outcome::movedAside)
        windows.showFileNotice(fillText(watch_text::kStatusFileMovedAside, {loaded.movedTo}));
    fileProtected = loaded.outcome == AramFileLoad::Outcome::unreadable;
    for (ItemInfo& r : loaded.records) {
        if (findEntry(r.ItemNo) >= 0)
            continue;
        list.push_back(AramEntry{0, std::move(r)});
        // The file's remaining time is the last one known; counted from now, a listing near its
        // end is polled fast from the start instead of only after the first regular cycle.
        polling.fetched(list.back().info.ItemNo, list.back().info.RemainTime, clock());
        if (view)
            view->entryAppended(list.back());
    }

    AramRulesLoad rules = loadAramRules(directory);
    if (rules.outcome == AramRulesLoad::Outcome::movedAside)
        windows.setStatusLine(fillText(watch_text::kStatusRulesMovedAside, {rules.movedTo}));
    rulesProtected = rules.outcome == AramRulesLoad::Outcome::unreadable;
    // Rules of listings no longer watched are left out, so the next save drops them.
    for (const PriceRule& r : rules.rules) {
        if (findEntry(r.itemNo) >= 0)
            ceilings.emplace(r.itemNo, r.ceilingPrice);
    }
}

bool WatchList::addEntry(const ItemInfo& item)
{
    if (findEntry(item.ItemNo) >= 0)
        return false;
    list.push_back(AramEntry{0, item});
    // The record comes fresh from a search or an item page.
    polling.fetched(item.ItemNo, item.RemainTime, clock());
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
    polling.forget(itemNo);
    ceilings.erase(itemNo);
    save();
    return true;
}

bool WatchList::save() const
{
    if (fileProtected)
        return false;
    std::vector<ItemInfo> records;
    records.reserve(list.size());
    std::vector<PriceRule> rules;
    for (const AramEntry& e : list) {
        records.push_back(e.info);
        if (const auto it = ceilings.find(e.info.ItemNo); it != ceilings.end())
            rules.push_back(PriceRule{it->first, it->second});
    }
    const bool listSaved = saveAramFile(records, directory);
    // Without ceilings no rules file is made; one that exists is emptied.
    if (rulesProtected ||
        (rules.empty() && platform::fileKind(aramRulesPath(directory)) == platform::FileKind::missing))
        return listSaved;
    return saveAramRules(rules, directory) && listSaved;
}

bool WatchList::setCeiling(const std::string& itemNo, std::optional<int32_t> ceilingPrice)
{
    if (findEntry(itemNo) < 0)
        return false;
    if (ceilingPrice)
        ceilings[itemNo] = *ceilingPrice;
    else
        ceilings.erase(itemNo);
    save();
    return true;
}

std::optional<int32_t> WatchList::ceiling(const std::string& itemNo) const
{
    const auto it = ceilings.find(itemNo);
    return it == ceilings.end() ? std::nullopt : std::optional<int32_t>(it->second);
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
    if (busyFlag == 1) {
        // A fast tick must not cost the regular cycle a whole period: it runs right after.
        if (fastTickRunning)
            cycleHeld = true;
        return;
    }
    runPass(nullptr);
}

std::vector<std::string> WatchList::fastTickSelection() const
{
    std::vector<std::string> due;
    if (!isOn(nearEnd.enabled))
        return due;
    const NearEndPolling::Clock::time_point now = clock();
    for (const AramEntry& e : list) {
        if (polling.isNearEnd(e.info.ItemNo, nearEnd.targetMinutes, now))
            due.push_back(e.info.ItemNo);
    }
    return due;
}

void WatchList::runFastTick()
{
    if (busyFlag == 1)
        return;
    const std::vector<std::string> due = fastTickSelection();
    if (due.empty())
        return;
    const std::unordered_set<std::string> only(due.begin(), due.end());
    const std::weak_ptr<char> guard = alive;
    fastTickRunning = true;
    runPass(&only);
    if (guard.expired())
        return;
    fastTickRunning = false;
    if (cycleHeld && busyFlag == 0 && exitFlag == 0) {
        cycleHeld = false;
        runPass(nullptr);
    }
    cycleHeld = false;
}

int32_t WatchList::locateEntry(size_t hint, const std::string& itemNo) const
{
    // The entry is usually still where it was; a full search only after a removal.
    if (hint < list.size() && list[hint].info.ItemNo == itemNo)
        return static_cast<int32_t>(hint);
    return findEntry(itemNo);
}

void WatchList::runPass(const std::unordered_set<std::string>* only)
{
    busyFlag = 1;
    const std::weak_ptr<char> guard = alive;
    AlarmCollection collected;
    // A client of the pass's own, kept for the whole pass so its connection is reused.
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
        if (only == nullptr || only->count(itemNo) != 0) {
            if (!updateEntry(client, i, itemNo, collected, guard))
                return;
        }
        const int32_t pos = locateEntry(i, itemNo);
        i = pos >= 0 ? static_cast<size_t>(pos) + 1 : 0;
        while (i < list.size() && visited.count(list[i].info.ItemNo))
            ++i;
    }

    // A fast tick leaves most entries alone; those in alarm keep the tray's alarm image.
    int32_t held = 0;
    if (only != nullptr) {
        for (const AramEntry& e : list)
            held += only->count(e.info.ItemNo) == 0 && e.inAlarm() ? 1 : 0;
    }
    finishPass(collected, only, held, guard);
}

bool WatchList::updateEntry(XmlDocumentClient& client, size_t hint, const std::string& itemNo,
                            AlarmCollection& collected, const std::weak_ptr<char>& guard)
{
    windows.setStatusLine(fillText(watch_text::kStatusUpdating, {itemNo, list[hint].info.ItemName}));
    // Pending events are handled before the fetch; the pump does not rest, as the fetch that
    // follows waits on its socket anyway. A copy: a handler it runs may destroy the list.
    const std::function<void()> handlePending = pump;
    handlePending();
    if (guard.expired())
        return false;

    int32_t pos = locateEntry(hint, itemNo);
    if (pos >= 0) {
        ItemInfo fresh = list[static_cast<size_t>(pos)].info;
        const int32_t rc = fetchEntry(client, fresh);
        if (guard.expired())
            return false;
        pos = locateEntry(hint, itemNo);
        if (pos >= 0) {
            AramEntry& entry = list[static_cast<size_t>(pos)];
            const NearEndPolling::Clock::time_point now = clock();
            if (rc == 0) {
                polling.fetched(itemNo, fresh.RemainTime, now);
                const std::optional<int32_t> limit = ceiling(itemNo);
                collected.addUpdated(entry, fresh, checkAlarm(entry, fresh, settings, limit), limit);
            } else if (isOn(nearEnd.enabled) && polling.endedAfterFailure(itemNo, now)) {
                // Over while the service no longer answers: the last price stands.
                entry.info.RemainTime = watch_text::kRemainEnded;
            } else {
                markFetchFailed(entry.info);
            }
            if (isOn(settings.autoRefreshDetail))
                windows.refreshAlertItem(ItemInfo(entry.info));
        }
    }
    windows.setStatusLine({});
    handlePending();
    return !guard.expired();
}

void WatchList::finishPass(const AlarmCollection& collected, const std::unordered_set<std::string>* only,
                           int32_t heldAlarms, const std::weak_ptr<char>& guard)
{
    if (view) {
        std::vector<const AramEntry*> fetched;
        fetched.reserve(only == nullptr ? list.size() : only->size());
        for (const AramEntry& e : list) {
            if (only == nullptr || only->count(e.info.ItemNo) != 0)
                fetched.push_back(&e);
        }
        view->refreshRows(fetched);
    }
    const std::string balloon = collected.balloonText();
    if (!balloon.empty() && isOn(settings.alarmBalloon))
        windows.showBalloon(balloon, collected.firstNew());
    // A regular cycle's alarms may wait for the saved searches that follow it, so the cycle
    // sends one mail; without any to run, the cycle mails where it always did.
    bool handedOver = false;
    if (only == nullptr && followUp && exitFlag == 0) {
        const CycleFollowUp next = followUp;
        handedOver = next(CycleAlarms{collected.mailText(), collected.firstMailedItemNo()});
        if (guard.expired())
            return;
    }
    if (!handedOver &&
        !deliverAlarms(collected.mailText(), collected.firstMailedItemNo(), watch_text::kPushTitleAlarms))
        return;
    if (view && !list.empty())
        view->repaintRows();
    busyFlag = 0;
    if (exitFlag == 1)
        windows.watchListClosed();
    windows.setTrayIcon(collected.alarmCount() + heldAlarms >= 1 ? kTrayIconAlarm : kTrayIconNormal);
}

bool WatchList::deliverAlarms(const std::string& mailText, const std::string& firstItemNo,
                              std::string_view pushTitleSjis)
{
    if (mailText.empty())
        return true;
    const std::weak_ptr<char> guard = alive;
    if (isOn(settings.alarmMail) && mailer) {
        WatchListHost* h = &windows;
        const AlertMailer send = mailer;
        send(settings, mailText, [h, guard](const std::string& text) {
            if (!guard.expired())
                h->showMailStatus(text);
        });
        if (guard.expired())
            return false;
    }
    if (pusher) {
        const AlarmPusher push = pusher;
        push(pushTitleSjis, mailText, firstItemNo);
        if (guard.expired())
            return false;
    }
    return true;
}

} // namespace pelimo
