#include "watch/WatchList.h"

#include "WatchTexts.h"
#include "history/HistoryStatus.h"
#include "history/HistoryStore.h"
#include "notify/AlarmText.h"
#include "platform/text/TextFill.h"
#include "watch/AlarmRules.h"
#include "watch/AramFile.h"
#include "watch/PriceCeilings.h"
#include "xmlclient/AuctionType.h"
#include "xmlclient/ListingQueries.h"
#include "xmlclient/XmlDocumentClient.h"

#include <algorithm>
#include <climits>
#include <unordered_set>
#include <utility>

namespace pelimo {
namespace {

bool byItemNo(const PriceRule& a, const PriceRule& b)
{
    return a.itemNo < b.itemNo;
}

} // namespace

WatchList::WatchList(const EnvSettings& s, const Endpoints& e, WatchListHost& h, AlarmNotifier& n,
                     std::string dir, std::function<void()> p)
    : settings(s), endpoints(e), windows(h), notifier(n), directory(std::move(dir)),
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
        positions.emplace(list.back().info.ItemNo, list.size() - 1);
        // The file's remaining time is the last one known; counted from now, a listing near its
        // end is polled fast from the start instead of only after the first regular cycle.
        polling.fetched(list.back().info.ItemNo, list.back().info.RemainTime, clock());
        if (view)
            view->entryAppended(list.back());
    }

    PriceCeilingsLoad rules = loadPriceCeilings(directory);
    if (rules.outcome == PriceCeilingsLoad::Outcome::movedAside)
        windows.setStatusLine(fillText(watch_text::kStatusRulesMovedAside, {rules.movedTo}));
    rulesProtected = rules.outcome == PriceCeilingsLoad::Outcome::unreadable;
    for (const PriceRule& r : rules.rules) {
        if (findEntry(r.itemNo) >= 0)
            ceilings.emplace(r.itemNo, r.ceilingPrice);
        else
            keptRules.push_back(r);
    }
    rulesOnFile = std::move(rules.rules);
    std::sort(rulesOnFile.begin(), rulesOnFile.end(), byItemNo);
}

bool WatchList::addEntry(const ItemInfo& item)
{
    ItemInfo added = item;
    added.ItemNo = itemNumberOf(item.ItemNo);
    if (added.ItemNo.empty() || findEntry(added.ItemNo) >= 0)
        return false;
    list.push_back(AramEntry{0, std::move(added)});
    const std::string& itemNo = list.back().info.ItemNo;
    positions.emplace(itemNo, list.size() - 1);
    // A listing watched again (after its list was lost, say) gets back the ceiling kept for it.
    const auto kept = std::find_if(keptRules.begin(), keptRules.end(),
                                   [&](const PriceRule& r) { return r.itemNo == itemNo; });
    if (kept != keptRules.end()) {
        ceilings.emplace(kept->itemNo, kept->ceilingPrice);
        keptRules.erase(kept);
    }
    // The record comes fresh from a search or an item page.
    polling.fetched(itemNo, list.back().info.RemainTime, clock());
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
    reindex();
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
    for (const AramEntry& e : list)
        records.push_back(e.info);
    const bool listSaved = saveAramFile(records, directory);
    return saveRules() && listSaved;
}

bool WatchList::saveRules() const
{
    if (rulesProtected)
        return true;
    std::vector<PriceRule> rules;
    for (const AramEntry& e : list) {
        if (const auto it = ceilings.find(e.info.ItemNo); it != ceilings.end())
            rules.push_back(PriceRule{it->first, it->second});
    }
    rules.insert(rules.end(), keptRules.begin(), keptRules.end());
    std::vector<PriceRule> sorted = rules;
    std::sort(sorted.begin(), sorted.end(), byItemNo);
    // Without ceilings no rules file is made; one that held some is emptied.
    if (sorted == rulesOnFile)
        return true;
    if (!savePriceCeilings(rules, directory))
        return false;
    rulesOnFile = std::move(sorted);
    return true;
}

bool WatchList::setCeiling(const std::string& itemNo, std::optional<int32_t> ceilingPrice)
{
    const std::string key = itemNumberOf(itemNo);
    if (findEntry(key) < 0)
        return false;
    if (ceilingPrice)
        ceilings[key] = *ceilingPrice;
    else
        ceilings.erase(key);
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
    const auto it = positions.find(itemNo);
    return it == positions.end() ? -1 : static_cast<int32_t>(it->second);
}

void WatchList::reindex()
{
    positions.clear();
    // The first entry of a number is the one found, as the list is read from the front.
    for (size_t i = 0; i < list.size(); ++i)
        positions.emplace(list[i].info.ItemNo, i);
}

int32_t WatchList::fetchEntry(XmlDocumentClient& client, ItemInfo& record) const
{
    // Copies, as the list may be gone by the time the query's wait returns.
    const Endpoints where = endpoints;
    ItemInfo fresh;
    const int32_t rc = queryItem(client, where, record.ItemNo, fresh);
    if (rc != 0)
        return rc;
    if (fresh.ItemNo != record.ItemNo)
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
    passFailures = 0;
    const std::weak_ptr<char> guard = alive;
    if (history && history->recording()) {
        passHistory.emplace(history->openBatch(ListingOrigin::watchList()));
        passHistory->reserve(only == nullptr ? list.size() : only->size());
    } else {
        passHistory.reset();
    }
    AlarmCollection collected;
    // A client of the pass's own, kept for the whole pass so its connection is reused.
    XmlDocumentClient client;
    // Entries can come and go while the pump runs handlers; each listing is found again by
    // its number, and the numbers already handled keep a removal from skipping or repeating
    // any entry.
    std::unordered_set<std::string> visited;
    // Listings whose fetch the service refused, asking us to wait.
    std::unordered_set<std::string> kept;

    size_t i = 0;
    while (i < list.size()) {
        // While the service makes us wait nothing is asked of it: the listings not fetched yet
        // keep what they showed.
        if (exitFlag != 0 || listingServiceWait(endpoints))
            break;
        const std::string itemNo = list[i].info.ItemNo;
        visited.insert(itemNo);
        if (only == nullptr || only->count(itemNo) != 0) {
            if (!updateEntry(client, i, itemNo, collected, kept, guard))
                return;
        }
        const int32_t pos = locateEntry(i, itemNo);
        i = pos >= 0 ? static_cast<size_t>(pos) + 1 : 0;
        while (i < list.size() && visited.count(list[i].info.ItemNo))
            ++i;
    }

    // A fast tick leaves most entries alone, a wait for the service the rest of the list;
    // those in alarm keep the tray's alarm image.
    const std::optional<ServiceWait> wait = listingServiceWait(endpoints);
    int32_t held = 0;
    for (const AramEntry& e : list) {
        const std::string& no = e.info.ItemNo;
        const bool leftAlone = (only != nullptr && only->count(no) == 0) ||
                               (wait && (visited.count(no) == 0 || kept.count(no) != 0));
        held += leftAlone && e.inAlarm() ? 1 : 0;
    }
    if (wait)
        windows.setStatusLine(servicePauseStatus(wait->resumesAt));
    else if (passFailures > 0)
        windows.setStatusLine(
            fillText(watch_text::kStatusFetchesFailed, {static_cast<long long>(passFailures)}));
    finishPass(collected, only, held, guard);
}

bool WatchList::updateEntry(XmlDocumentClient& client, size_t hint, const std::string& itemNo,
                            AlarmCollection& collected, std::unordered_set<std::string>& kept,
                            const std::weak_ptr<char>& guard)
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
            if (rc == kServiceWaiting) {
                // No answer about the listing: it keeps its values, and no end is read into it.
                kept.insert(itemNo);
            } else if (rc == 0) {
                polling.fetched(itemNo, fresh.RemainTime, now);
                if (passHistory) {
                    passHistory->record(fresh);
                    // Reported with no time left: its price is the final one.
                    if (remainingSeconds(fresh.RemainTime) == 0)
                        passHistory->archiveEnded(itemNo);
                }
                const std::optional<int32_t> limit = ceiling(itemNo);
                collected.addUpdated(entry, fresh, checkAlarm(entry, fresh, settings, limit), limit);
                // The service may answer under another spelling of the number.
                if (entry.info.ItemNo != itemNo)
                    reindex();
            } else if (endedAfterFailure(itemNo, now)) {
                // Over while the service no longer answers: the last price stands, in the row
                // when the faster polling shows ends, and as the final one in the history.
                if (passHistory)
                    passHistory->archiveEnded(itemNo);
                if (isOn(nearEnd.enabled))
                    entry.info.RemainTime = watch_text::kRemainEnded;
                else
                    markFetchFailed(entry.info);
            } else {
                markFetchFailed(entry.info);
                ++passFailures;
            }
            if (rc != kServiceWaiting && isOn(settings.autoRefreshDetail))
                windows.refreshAlertItem(ItemInfo(entry.info));
        }
    }
    windows.setStatusLine({});
    handlePending();
    return !guard.expired();
}

bool WatchList::endedAfterFailure(const std::string& itemNo, NearEndPolling::Clock::time_point now)
{
    // Without the faster polling or a history nobody asks whether a listing ended.
    if (!isOn(nearEnd.enabled) && !passHistory)
        return false;
    return polling.endedAfterFailure(itemNo, now);
}

void WatchList::commitPassHistory()
{
    if (!passHistory || !history)
        return;
    const BatchResult written = history->commit(*passHistory);
    passHistory.reset();
    if (!written.status.ok())
        windows.showFileNotice(historyNotWrittenStatus());
}

void WatchList::finishPass(const AlarmCollection& collected, const std::unordered_set<std::string>* only,
                           int32_t heldAlarms, const std::weak_ptr<char>& guard)
{
    commitPassHistory();
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
    if (!balloon.empty())
        notifier.showAlert(alarmsTitle(), balloon, collected.firstNew(), collected.newCount(),
                           collected.balloonHasNearEnd() ? AlarmKind::nearEnd : AlarmKind::other);
    // A regular cycle's alarms may wait for the saved searches that follow it, so the cycle
    // sends one mail; without any to run, the cycle mails where it always did.
    bool handedOver = false;
    if (only == nullptr && followUp && exitFlag == 0) {
        const CycleFollowUp next = followUp;
        handedOver =
            next(CycleAlarms{collected.mailText(), collected.firstMailedItemNo(), collected.mailedCount(),
                             collected.mailHasNearEnd(), collected.firstMailedPictureUrl()});
        if (guard.expired())
            return;
    }
    if (!handedOver && !collected.mailText().empty())
        notifier.sendAlarms(AlarmBatch{std::string(alarmsTitle()), collected.mailText(),
                                       collected.firstMailedItemNo(), collected.mailedCount(),
                                       collected.mailHasNearEnd() ? AlarmKind::nearEnd : AlarmKind::other,
                                       collected.firstMailedPictureUrl()});
    if (view && !list.empty())
        view->repaintRows();
    busyFlag = 0;
    if (exitFlag == 1)
        windows.watchListClosed();
    windows.setTrayIcon(collected.alarmCount() + heldAlarms >= 1 ? kTrayIconAlarm : kTrayIconNormal);
}

} // namespace pelimo
