#pragma once

#include "settings/EnvSettings.h"
#include "watch/AramEntry.h"

#include <cstdint>
#include <optional>
#include <string>

namespace pelimo {

// Applies the remaining-time and price rules, and the listing's price ceiling when it has one,
// to an entry against its freshly fetched record: the entry's alarm bits are set anew (its
// notification bits are kept) and 1 is returned when it is in alarm. The entry's info still
// holds the previous record.
int32_t checkAlarm(AramEntry& entry, const ItemInfo& fresh, const EnvSettings& settings,
                   std::optional<int32_t> ceiling = std::nullopt);

// What one update cycle gathers for its notifications.
class AlarmCollection {
public:
    // Folds the result of one successful fetch into the entry (flags and info) and the
    // collection. inAlarm is checkAlarm's result, ceiling the one it was given. A price that
    // crosses its ceiling notifies once per crossing, with a line of its own.
    void addUpdated(AramEntry& entry, const ItemInfo& fresh, int32_t inAlarm,
                    std::optional<int32_t> ceiling = std::nullopt);

    // The balloon text: the first newly notified listing's line, followed by the count of the
    // others when there are more. Empty when nothing was newly notified.
    std::string balloonText() const;

    // The listing the balloon names.
    const ItemInfo& firstNew() const { return first; }
    const std::string& mailText() const { return mail; }
    // The item number of the first listing collected for the mail; empty when none was.
    const std::string& firstMailedItemNo() const { return firstMailed; }
    const std::string& firstMailedPictureUrl() const { return firstMailedPicture; }
    int32_t alarmCount() const { return alarms; }
    int32_t newCount() const { return newlyNotified; }
    int32_t mailedCount() const { return mailed; }
    // Whether the balloon, and the mail, tell a remaining-time alarm: the quiet period may let
    // those through, with whatever alarms came with them.
    bool balloonHasNearEnd() const { return balloonNearEnd; }
    bool mailHasNearEnd() const { return mailNearEnd; }

private:
    std::string mail;
    std::string balloon;
    std::string firstMailed;
    std::string firstMailedPicture;
    ItemInfo first;
    int32_t alarms = 0;
    int32_t newlyNotified = 0;
    int32_t mailed = 0;
    bool balloonNearEnd = false;
    bool mailNearEnd = false;
};

// The four fields a failed fetch replaces with "-".
void markFetchFailed(ItemInfo& info);

} // namespace pelimo
