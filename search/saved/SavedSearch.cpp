#include "search/saved/SavedSearch.h"

#include "search/exclude/ExcludeWords.h"
#include "xmlclient/AuctionType.h"

#include <algorithm>
#include <string_view>

namespace pelimo {
namespace {

std::string_view typesOf(const SearchRequest& r)
{
    return r.auctionTypes.empty() ? kAllAuctionTypes : std::string_view(r.auctionTypes);
}

} // namespace

bool sameSearch(const SearchRequest& a, const SearchRequest& b)
{
    return a.lotNumberMode == b.lotNumberMode && a.text == b.text && typesOf(a) == typesOf(b) &&
           std::max(a.priceLow, 0) == std::max(b.priceLow, 0) &&
           std::max(a.priceHigh, 0) == std::max(b.priceHigh, 0) &&
           (a.excludeWords == b.excludeWords || ExcludeWords(a.excludeWords) == ExcludeWords(b.excludeWords));
}

} // namespace pelimo
