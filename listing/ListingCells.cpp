#include "listing/ListingCells.h"

#include "xmlclient/AuctionType.h"

namespace pelimo {

std::string listingCellText(const ItemInfo& item, int column)
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

ListingCells listingCells(const ItemInfo& item)
{
    ListingCells cells;
    for (int c = 0; c < kListingColumnCount; ++c)
        cells[static_cast<size_t>(c)] = listingCellText(item, c);
    return cells;
}

} // namespace pelimo
