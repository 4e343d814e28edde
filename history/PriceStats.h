#pragma once

#include "history/HistoryRecords.h"

#include <cstdint>
#include <vector>

namespace pelimo {

// The count, median, lowest and highest of the prices (see PriceStats).
PriceStats priceStatsOf(std::vector<int64_t> prices);

// The same over the final prices of the archive rows at the given positions (the rows a
// filtered, sorted view shows); rows without a final price are not counted.
PriceStats finalPriceStats(const std::vector<ArchiveRow>& rows, const std::vector<uint32_t>& shown);

} // namespace pelimo
