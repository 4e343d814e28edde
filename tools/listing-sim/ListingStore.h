#pragma once

#include "tools/listing-sim/Catalogue.h"
#include "tools/listing-sim/Listing.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace pelimo::sim {

// What a keyword search asks for, decoded from the request.
struct SearchQuery {
    std::vector<std::string> terms; // each must occur in the title
    std::vector<std::string> types; // auction type codes; empty = every type
    std::optional<int64_t> priceLow;
    std::optional<int64_t> priceHigh;
};

// The listings the simulator answers with: the catalogue, overlaid by pinned listings whose
// fields tests set verbatim, minus the removed ones. Not thread-safe: the server guards it.
class ListingStore {
public:
    explicit ListingStore(Catalogue& catalogue) : catalogue(catalogue) {}

    void pin(ListingFields fields);
    void remove(const std::string& itemNo);
    void clearOverrides();

    std::optional<ListingFields> lookup(const std::string& itemNo, int64_t now) const;

    struct Page {
        int64_t matches = 0;
        std::vector<ListingFields> items; // the asked page's slice
    };
    // Pinned listings come first, then the catalogue in its own order.
    Page search(const SearchQuery& query, int64_t page, int64_t perPage, int64_t now) const;

    Catalogue& listings() { return catalogue; }

private:
    bool pinnedAt(const std::string& itemNo, size_t& index) const;
    const std::vector<uint32_t>& catalogueMatches(const SearchQuery& query) const;

    Catalogue& catalogue;
    std::vector<ListingFields> pinned;
    std::unordered_set<std::string> removed;

    // Catalogue indices matching a query's terms and types, by query; the catalogue only
    // grows, so its size tells whether an entry is still whole. Paging asks the same
    // query page after page, and titles and types never change.
    struct CachedMatches {
        size_t catalogueSize = 0;
        std::vector<uint32_t> indices;
    };
    mutable std::unordered_map<std::string, CachedMatches> matchCache;
};

// Splits a keyword into its blank-separated terms (ASCII blanks and the ideographic space).
std::vector<std::string> keywordTerms(const std::string& keyword);

} // namespace pelimo::sim
