#include "watch/AlarmRules.h"

#include "WatchTexts.h"
#include "notify/AlarmText.h"
#include "platform/text/PriceText.h"
#include "platform/text/TextFill.h"
#include "xmlclient/AuctionType.h"

#include <algorithm>
#include <string_view>

namespace pelimo {
namespace {

// The service's remaining-time texts are short; longer ones are judged by their beginning.
constexpr size_t kRemainTimeBytesExamined = 15;

} // namespace

int32_t checkAlarm(AramEntry& entry, const ItemInfo& fresh, const EnvSettings& settings,
                   std::optional<int32_t> ceiling)
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
    // Whatever the price rule says: the user set this limit for this listing. The price is read
    // whole ("12,800" is 12800, not the sort key's 12); any other text is read as it always was,
    // by its leading number.
    if (ceiling && parsePriceYen(fresh.CurrentPrice).value_or(priceValue(fresh.CurrentPrice)) > *ceiling) {
        entry.flags |= kCeilingAlarm;
        result = 1;
    }
    return result;
}

void AlarmCollection::addUpdated(AramEntry& entry, const ItemInfo& fresh, int32_t inAlarm,
                                 std::optional<int32_t> ceiling)
{
    if (inAlarm != 1) {
        // The episode is over; the next alarm notifies again.
        entry.flags &= ~0xff;
    } else {
        // Every price change is an episode of its own.
        if (entry.flags & kPriceAlarm)
            entry.flags &= ~(kBalloonNotified | kMailCollected);
        const bool aboveCeiling = (entry.flags & kCeilingAlarm) != 0 && ceiling;
        if (!aboveCeiling) {
            entry.flags &= ~kCeilingNotified;
        } else if (!(entry.flags & kCeilingNotified)) {
            // A new crossing is an episode of its own.
            entry.flags &= ~(kBalloonNotified | kMailCollected);
            entry.flags |= kCeilingNotified;
        }
        std::string line = alarmLine(fresh);
        if (aboveCeiling) {
            line += '\n';
            line += fillText(watch_text::kCeilingLine, {static_cast<long long>(*ceiling)});
        }
        const bool nearEnd = (entry.flags & kRemainAlarm) != 0;
        if (!(entry.flags & kMailCollected)) {
            if (mail.empty()) {
                firstMailed = fresh.ItemNo;
                firstMailedPicture = fresh.ImageUrl;
            }
            mail += line;
            mail += '\n';
            entry.flags |= kMailCollected;
            ++mailed;
            mailNearEnd = mailNearEnd || nearEnd;
        }
        if (!(entry.flags & kBalloonNotified)) {
            if (newlyNotified == 0) {
                balloon = line;
                first = fresh;
            }
            entry.flags |= kBalloonNotified;
            ++newlyNotified;
            balloonNearEnd = balloonNearEnd || nearEnd;
        }
        ++alarms;
    }
    entry.info = fresh;
}

std::string AlarmCollection::balloonText() const
{
    if (balloon.empty())
        return {};
    return alarmBalloonText(balloon, newlyNotified);
}

void markFetchFailed(ItemInfo& info)
{
    info.BidNum = "-";
    info.ItemNum = "-";
    info.CurrentPrice = "-";
    info.RemainTime = "-";
}

} // namespace pelimo
