#include "watch/WatchColumns.h"

#include "xmlclient/AuctionType.h"

namespace pelimo {
namespace {

template <typename T> int order(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

std::string watchColumnText(const ItemInfo& item, int column)
{
    switch (column) {
    case kColNo:
        return item.ItemNo;
    case kColName:
        return item.ItemName;
    case kColPrice:
        return item.CurrentPrice;
    case kColType:
        return std::string(shortTypeLabel(item.AuctionType));
    case kColItemNum:
        return item.ItemNum;
    case kColBidNum:
        return item.BidNum;
    case kColRemain:
        return item.RemainTime;
    default:
        return {};
    }
}

} // namespace pelimo
