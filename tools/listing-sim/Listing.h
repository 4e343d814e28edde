#pragma once

#include <cstdint>
#include <string>

namespace pelimo::sim {

// The eight fields of a listing as the listing service reports them, in UTF-8.
struct ListingFields {
    std::string itemNo;
    std::string itemName;
    std::string currentPrice;
    std::string imageUrl;
    std::string auctionType;
    std::string itemNum;
    std::string bidNum;
    std::string remainTime;

    bool operator==(const ListingFields&) const = default;
};

// A generated listing: the fixed facts from which its fields at any moment follow.
// Auctions take one bid of priceStep every bidInterval seconds from startsAt until they end;
// fixed-price and group-purchase listings (bidInterval 0) keep their price. Times are
// seconds on the simulator's clock.
struct Listing {
    std::string itemNo;
    std::string title;
    std::string type;
    int64_t startPrice = 0;
    int64_t priceStep = 0;
    int64_t bidInterval = 0;
    int64_t startBids = 0;
    int64_t units = 1;
    int64_t startsAt = 0;
    int64_t endsAt = 0;
    // A listing that took an ended one's place is not there before it starts; the others
    // were listed before the clock began.
    bool shownFromStart = false;

    bool runningAt(int64_t now) const { return (!shownFromStart || startsAt <= now) && now < endsAt; }
};

} // namespace pelimo::sim
