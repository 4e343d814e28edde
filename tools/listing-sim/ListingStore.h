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

// Where a listing stands at a moment. An ended listing is no longer reported; its fields are
// those it ended with.
struct ListingStatus {
    enum class State { Unknown, Running, Ended };
    State state = State::Unknown;
    ListingFields fields;
    int64_t finalPrice = 0; // for an ended listing
    int64_t finalBids = 0;
    int64_t endedAt = 0; // on the simulator's clock
};

// A listing that ended, as the control endpoint reads it back.
struct EndedListing {
    std::string itemNo;
    int64_t price = 0;
    int64_t bids = 0;
    int64_t endedAt = 0;
};

// The listings the simulator answers with: the catalogue, overlaid by pinned listings whose
// fields tests set verbatim, minus the removed ones and those that have ended. Not
// thread-safe: the server guards it.
class ListingStore {
public:
    explicit ListingStore(Catalogue& catalogue) : catalogue(catalogue) {}

    // A pinned listing whose remaining time has the service's form ends when that time has
    // run out on the simulator's clock; longestRemaining tells how long that is.
    void pin(ListingFields fields, std::optional<int64_t> endsAt);
    void remove(const std::string& itemNo);
    void clearOverrides();

    enum class EndOutcome { Ended, Unknown, AlreadyEnded };
    // Ends a running listing at once; its final price and bids default to the current ones.
    EndOutcome end(const std::string& itemNo, std::optional<int64_t> price, std::optional<int64_t> bids,
                   int64_t now);
    // The listings tests ended or pinned that have ended by now, in the order they ended.
    std::vector<EndedListing> endedByTests(int64_t now) const;

    ListingStatus status(const std::string& itemNo, int64_t now) const;
    // The fields of a running listing; nothing for an unknown or ended one.
    std::optional<ListingFields> lookup(const std::string& itemNo, int64_t now) const;

    struct Page {
        int64_t matches = 0;
        std::vector<ListingFields> items; // the asked page's slice
    };
    // Running listings only: pinned ones first, then the catalogue in its own order.
    Page search(const SearchQuery& query, int64_t page, int64_t perPage, int64_t now) const;

private:
    struct Pinned {
        ListingFields fields;
        std::optional<int64_t> endsAt;
    };
    struct EndedEarly {
        ListingFields fields; // as it ended
        int64_t price = 0;
        int64_t bids = 0;
        int64_t at = 0;
    };

    const Pinned* pinnedListing(const std::string& itemNo) const;
    bool hidden(const std::string& itemNo) const;
    const std::vector<uint32_t>& runningMatches(const SearchQuery& query, int64_t now) const;

    Catalogue& catalogue;
    std::vector<Pinned> pinned;
    std::unordered_set<std::string> removed;
    std::unordered_map<std::string, EndedEarly> endedEarly; // by the control endpoint

    // Catalogue indices matching a query's terms and types, by query, and of those the ones
    // running in a span of time in which none starts or ends. Paging asks the same query
    // page after page; titles and types never change and the catalogue only grows, so its
    // size tells whether the matches are still whole.
    struct CachedMatches {
        size_t catalogueSize = 0;
        std::vector<uint32_t> matching;
        bool runningKnown = false;
        int64_t runningFrom = 0;
        int64_t runningUntil = 0; // exclusive
        std::vector<uint32_t> running;
    };
    mutable std::unordered_map<std::string, CachedMatches> matchCache;
};

// Splits a keyword into its blank-separated terms (ASCII blanks and the ideographic space).
std::vector<std::string> keywordTerms(const std::string& keyword);

} // namespace pelimo::sim
