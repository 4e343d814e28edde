#pragma once

#include "tools/listing-sim/Listing.h"
#include "tools/listing-sim/Vocabulary.h"

#include <cstdint>
#include <queue>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pelimo::sim {

// The simulated site's listings, generated from a seed so that every run with the same seed
// serves the same titles, types, prices and endings. The catalogue keeps its size: each
// listing, once ended, is followed by a new one with a new number a little later, so saved
// searches find new listings over time. Not thread-safe: the server guards it.
class Catalogue {
public:
    Catalogue(const Vocabulary& words, uint64_t seed, size_t size, std::string imageBase);

    // Adds count listings whose titles contain word and no catalogue word, of mixed types
    // and prices, so a search for word finds exactly those. They run for a day at least.
    void addHits(const std::string& word, size_t count, int64_t now);

    // Brings in the listings that have started by now in place of ended ones. The listings
    // only grow; which of them run at a moment is Listing::runningAt.
    void advanceTo(int64_t now);

    const std::vector<Listing>& listings() const { return all; }
    const Listing* find(const std::string& itemNo) const;

    ListingFields fieldsAt(const Listing& listing, int64_t now) const;
    static int64_t priceAt(const Listing& listing, int64_t now);
    static int64_t bidsAt(const Listing& listing, int64_t now);

    // The address at which the simulator serves the listing's picture.
    std::string pictureUrl(std::string_view itemNo) const;

private:
    struct Successor {
        int64_t startsAt;
        size_t slot;
        uint64_t generation;
        bool operator>(const Successor& other) const
        {
            return startsAt != other.startsAt ? startsAt > other.startsAt : slot > other.slot;
        }
    };

    Listing generated(uint64_t& state, std::string itemNo, std::string title, int64_t startsAt,
                      int64_t endsAt);
    std::string randomTitle(uint64_t& state) const;
    void add(Listing listing);
    void scheduleSuccessor(uint64_t& state, size_t slot, uint64_t generation, int64_t endsAt);

    const Vocabulary& words;
    uint64_t seed;
    std::string imageBase;
    std::vector<Listing> all;
    std::unordered_map<std::string, size_t> byItemNo;
    std::unordered_map<std::string, size_t> hitsPerWord;
    size_t hitSerial = 0;
    size_t catalogueSerial = 0;
    std::priority_queue<Successor, std::vector<Successor>, std::greater<>> successors;
};

} // namespace pelimo::sim
