#pragma once

#include <string>

namespace pelimo {

// One listing exactly as the listing service reported it: eight Shift-JIS texts, never
// trimmed or converted. Numbers are read from them by whoever needs them.
struct ItemInfo {
    std::string ItemNo;       // exhibit identifier, the key of a listing everywhere
    std::string ItemName;     // title
    std::string CurrentPrice; // digits, possibly followed by the yen sign
    std::string AuctionType;  // type code, see AuctionType.h
    std::string ImageUrl;     // carried along, not shown
    std::string BidNum;       // number of bids
    std::string ItemNum;      // number of units offered
    std::string RemainTime;   // a number followed by a unit word

    bool operator==(const ItemInfo&) const = default;
};

} // namespace pelimo
