#pragma once

#include "xmlclient/ItemInfo.h"

#include <cstdint>

namespace pelimo {

// Bits of AramEntry::flags. The low byte records what an alarm episode has already
// notified, the second byte which alarm held at the last update.
inline constexpr int32_t kBalloonNotified = 0x1;
inline constexpr int32_t kMailCollected = 0x2;
// The price's present crossing of its ceiling has been notified.
inline constexpr int32_t kCeilingNotified = 0x4;
inline constexpr int32_t kRemainAlarm = 0x100;
inline constexpr int32_t kPriceAlarm = 0x200;
inline constexpr int32_t kCeilingAlarm = 0x400; // the price stands above the listing's ceiling
inline constexpr int32_t kAlarmMask = 0xff00;

// One watched listing with its alarm state; flags start at 0 when added or loaded.
struct AramEntry {
    int32_t flags = 0;
    ItemInfo info;

    bool inAlarm() const { return (flags & kAlarmMask) != 0; }
};

} // namespace pelimo
