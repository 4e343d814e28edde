#pragma once

#include "xmlclient/ItemInfo.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pelimo {

// The titles the alarms go out under: the watched listings' alarms, and the new listings of
// the saved searches when no watched listing alarmed with them.
std::string_view alarmsTitle();
std::string_view newListingsTitle();

// The three-line alarm text of a listing: number, title, then price and remaining time.
std::string alarmLine(const ItemInfo& record);

// A balloon naming one listing by its alarm line, followed by the count of the others when
// notifiedCount is above 1.
std::string alarmBalloonText(const std::string& firstLine, int32_t notifiedCount);

} // namespace pelimo
