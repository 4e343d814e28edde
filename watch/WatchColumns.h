#pragma once

#include "xmlclient/ItemInfo.h"

#include <string>
#include <string_view>

namespace pelimo {

// The watch list's columns: number, title, price, type, units, bids, remaining time.
inline constexpr int kWatchColumnCount = 7;
enum WatchColumn : int {
    kColNo = 0,
    kColName = 1,
    kColPrice = 2,
    kColType = 3,
    kColItemNum = 4,
    kColBidNum = 5,
    kColRemain = 6,
};

// The text a row shows in a column for a listing.
std::string watchColumnText(const ItemInfo& item, int column);

} // namespace pelimo
