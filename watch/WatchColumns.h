#pragma once

#include "listing/ListingColumns.h"
#include "xmlclient/ItemInfo.h"

#include <string>
#include <string_view>

namespace pelimo {

// The text a watch list row shows in a listing column: the remaining time as received, for
// every type.
std::string watchColumnText(const ItemInfo& item, int column);

} // namespace pelimo
