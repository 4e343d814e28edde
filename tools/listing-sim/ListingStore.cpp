#include "tools/listing-sim/ListingStore.h"

#include "platform/text/NumberText.h"

#include <algorithm>

namespace pelimo::sim {
namespace {

bool titleMatches(const std::string& title, const SearchQuery& query)
{
    return std::all_of(query.terms.begin(), query.terms.end(),
                       [&](const std::string& term) { return title.find(term) != std::string::npos; });
}

bool typeMatches(const std::string& type, const SearchQuery& query)
{
    return query.types.empty() ||
           std::find(query.types.begin(), query.types.end(), type) != query.types.end();
}

bool priceMatches(int64_t price, const SearchQuery& query)
{
    return (!query.priceLow || price >= *query.priceLow) && (!query.priceHigh || price <= *query.priceHigh);
}

} // namespace

std::vector<std::string> keywordTerms(const std::string& keyword)
{
    static const std::string ideographicSpace = "\xE3\x80\x80";
    std::string normalised;
    normalised.reserve(keyword.size());
    for (size_t i = 0; i < keyword.size();) {
        if (keyword.compare(i, ideographicSpace.size(), ideographicSpace) == 0) {
            normalised += ' ';
            i += ideographicSpace.size();
        } else {
            normalised += keyword[i++];
        }
    }
    std::vector<std::string> terms;
    size_t start = 0;
    while (start < normalised.size()) {
        const size_t blank = normalised.find_first_of(" \t", start);
        const size_t end = blank == std::string::npos ? normalised.size() : blank;
        if (end > start)
            terms.push_back(normalised.substr(start, end - start));
        start = end + 1;
    }
    return terms;
}

bool ListingStore::pinnedAt(const std::string& itemNo, size_t& index) const
{
    for (index = 0; index < pinned.size(); ++index)
        if (pinned[index].itemNo == itemNo)
            return true;
    return false;
}

void ListingStore::pin(ListingFields fields)
{
    removed.erase(fields.itemNo);
    size_t index = 0;
    if (pinnedAt(fields.itemNo, index))
        pinned[index] = std::move(fields);
    else
        pinned.push_back(std::move(fields));
}

void ListingStore::remove(const std::string& itemNo)
{
    size_t index = 0;
    if (pinnedAt(itemNo, index))
        pinned.erase(pinned.begin() + static_cast<std::ptrdiff_t>(index));
    removed.insert(itemNo);
}

void ListingStore::clearOverrides()
{
    pinned.clear();
    removed.clear();
}

std::optional<ListingFields> ListingStore::lookup(const std::string& itemNo, int64_t now) const
{
    size_t index = 0;
    if (pinnedAt(itemNo, index))
        return pinned[index];
    if (removed.count(itemNo) != 0)
        return std::nullopt;
    if (const Listing* listing = catalogue.find(itemNo))
        return catalogue.fieldsAt(*listing, now);
    return std::nullopt;
}

ListingStore::Page ListingStore::search(const SearchQuery& query, int64_t page, int64_t perPage,
                                        int64_t now) const
{
    Page result;
    const int64_t first = (page - 1) * perPage;
    const int64_t last = first + perPage;
    auto take = [&](auto&& makeFields) {
        if (result.matches >= first && result.matches < last)
            result.items.push_back(makeFields());
        ++result.matches;
    };
    for (const ListingFields& fields : pinned) {
        if (titleMatches(fields.itemName, query) && typeMatches(fields.auctionType, query) &&
            priceMatches(leadingInteger(fields.currentPrice), query))
            take([&] { return fields; });
    }
    const auto& listings = catalogue.listings();
    const auto& indices = catalogueMatches(query);
    if (!query.priceLow && !query.priceHigh && pinned.empty() && removed.empty()) {
        // Nothing left to filter: count at once and build the page's slice only.
        for (int64_t i = std::max<int64_t>(first, 0); i < last && i < static_cast<int64_t>(indices.size());
             ++i)
            result.items.push_back(catalogue.fieldsAt(listings[indices[static_cast<size_t>(i)]], now));
        result.matches = static_cast<int64_t>(indices.size());
        return result;
    }
    size_t pinnedIndex = 0;
    for (const uint32_t index : indices) {
        const Listing& listing = listings[index];
        if (!priceMatches(Catalogue::priceAt(listing, now), query))
            continue;
        if ((!pinned.empty() && pinnedAt(listing.itemNo, pinnedIndex)) ||
            (!removed.empty() && removed.count(listing.itemNo) != 0))
            continue;
        take([&] { return catalogue.fieldsAt(listing, now); });
    }
    return result;
}

const std::vector<uint32_t>& ListingStore::catalogueMatches(const SearchQuery& query) const
{
    std::string key;
    for (const std::string& term : query.terms)
        key += term + '\n';
    key += '\t';
    for (const std::string& type : query.types)
        key += type + ',';
    const auto& listings = catalogue.listings();
    auto found = matchCache.find(key);
    if (found != matchCache.end() && found->second.catalogueSize == listings.size())
        return found->second.indices;
    if (found == matchCache.end() && matchCache.size() >= 64)
        matchCache.clear();
    CachedMatches& entry = matchCache[key];
    entry.catalogueSize = listings.size();
    entry.indices.clear();
    for (size_t i = 0; i < listings.size(); ++i)
        if (titleMatches(listings[i].title, query) && typeMatches(listings[i].type, query))
            entry.indices.push_back(static_cast<uint32_t>(i));
    return entry.indices;
}

} // namespace pelimo::sim
