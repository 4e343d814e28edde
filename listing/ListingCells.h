#pragma once

#include "listing/ListingColumns.h"
#include "xmlclient/ItemInfo.h"

#include <array>
#include <string>

namespace pelimo {

// The texts of a listing in the listing columns, in column order (Shift-JIS).
using ListingCells = std::array<std::string, kListingColumnCount>;

// The text a listing shows in a listing column: as the service sent it, the type as its short
// label, and the remaining time as received for every type. Empty for any other column.
std::string listingCellText(const ItemInfo& item, int column);
ListingCells listingCells(const ItemInfo& item);

} // namespace pelimo
