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
    case kColumnItemNo:
        return item.ItemNo;
    case kColumnItemName:
        return item.ItemName;
    case kColumnPrice:
        return item.CurrentPrice;
    case kColumnType:
        return std::string(shortTypeLabel(item.AuctionType));
    case kColumnUnits:
        return item.ItemNum;
    case kColumnBids:
        return item.BidNum;
    case kColumnRemainTime:
        return item.RemainTime;
    default:
        return {};
    }
}

} // namespace pelimo
