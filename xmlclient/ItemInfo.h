#pragma once

#include <string>
#include <string_view>

namespace pelimo {

// One listing exactly as the listing service reported it: eight Shift-JIS texts, never
// converted, and none trimmed but the item number (see itemNumberOf). Numbers are read from
// them by whoever needs them.
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

// An item number as every part of the program keys listings by it: the text without the
// blanks (space, tab, CR, LF) around it. Answers, files and the user may all add them, and a
// listing known under two spellings would be watched twice or announced again. Empty means
// the text names no listing.
std::string itemNumberOf(std::string_view text);

} // namespace pelimo
