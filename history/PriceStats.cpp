#include "history/PriceStats.h"

#include <algorithm>

namespace pelimo {

PriceStats priceStatsOf(std::vector<int64_t> prices)
{
    PriceStats stats;
    stats.count = static_cast<int64_t>(prices.size());
    if (prices.empty())
        return stats;
    const auto [low, high] = std::minmax_element(prices.begin(), prices.end());
    stats.lowest = *low;
    stats.highest = *high;
    // nth_element finds the middle without sorting the whole set.
    const size_t middle = prices.size() / 2;
    std::nth_element(prices.begin(), prices.begin() + static_cast<std::ptrdiff_t>(middle), prices.end());
    const int64_t upper = prices[middle];
    if (prices.size() % 2 == 1) {
        stats.median = upper;
    } else {
        const int64_t lower =
            *std::max_element(prices.begin(), prices.begin() + static_cast<std::ptrdiff_t>(middle));
        // Halved before adding, so two large prices cannot overflow.
        stats.median = lower / 2 + upper / 2 + (lower % 2 + upper % 2) / 2;
    }
    return stats;
}

PriceStats finalPriceStats(const std::vector<ArchiveRow>& rows, const std::vector<uint32_t>& shown)
{
    std::vector<int64_t> prices;
    prices.reserve(shown.size());
    for (const uint32_t index : shown) {
        if (index < rows.size() && rows[index].finalPrice)
            prices.push_back(*rows[index].finalPrice);
    }
    return priceStatsOf(std::move(prices));
}

} // namespace pelimo
