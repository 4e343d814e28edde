#include "watch/AlarmRules.h"

#include "WatchTexts.h"
#include "watch/TextFill.h"
#include "xmlclient/AuctionType.h"

#include <algorithm>
#include <string_view>

namespace pelimo {
namespace {

// The service's remaining-time texts are short; longer ones are judged by their beginning.
constexpr size_t kRemainTimeBytesExamined = 15;

} // namespace

int32_t checkAlarm(AramEntry& entry, const ItemInfo& fresh, const EnvSettings& settings)
{
    entry.flags &= 0xff;
    int32_t result = 0;
    if (isOn(settings.alarmOnRemainingTime)) {
        const std::string_view remain =
            std::string_view(fresh.RemainTime)
                .substr(0, std::min(fresh.RemainTime.size(), kRemainTimeBytesExamined));
        const int64_t seconds = remainingSeconds(remain);
        if (seconds >= 1 && seconds <= int64_t{settings.remainingTimeMinutes} * 60) {
            entry.flags |= kRemainAlarm;
            result = 1;
        }
    }
    if (isOn(settings.alarmOnPriceChange) && entry.info.CurrentPrice != fresh.CurrentPrice) {
        entry.flags |= kPriceAlarm;
        result = 1;
    }
    return result;
}

std::string alarmLine(const ItemInfo& record)
{
    return fillText(watch_text::kAlarmLine,
                    {record.ItemNo, record.ItemName, record.CurrentPrice, record.RemainTime});
}

void AlarmCollection::addUpdated(AramEntry& entry, const ItemInfo& fresh, int32_t inAlarm)
{
    if (inAlarm != 1) {
        // The episode is over; the next alarm notifies again.
        entry.flags &= ~0xff;
    } else {
        // Every price change is an episode of its own.
        if (entry.flags & kPriceAlarm)
            entry.flags &= ~(kBalloonNotified | kMailCollected);
        const std::string line = alarmLine(fresh);
        if (!(entry.flags & kMailCollected)) {
            mail += line;
            mail += '\n';
            entry.flags |= kMailCollected;
        }
        if (!(entry.flags & kBalloonNotified)) {
            if (newlyNotified == 0) {
                balloon = line;
                first = fresh;
            }
            entry.flags |= kBalloonNotified;
            ++newlyNotified;
        }
        ++alarms;
    }
    entry.info = fresh;
}

std::string AlarmCollection::balloonText() const
{
    if (balloon.empty())
        return {};
    std::string text = balloon;
    if (newlyNotified > 1)
        text += fillText(watch_text::kBalloonOthers, {static_cast<long long>(newlyNotified - 1)});
    return text;
}

void markFetchFailed(ItemInfo& info)
{
    info.BidNum = "-";
    info.ItemNum = "-";
    info.CurrentPrice = "-";
    info.RemainTime = "-";
}

} // namespace pelimo
