#pragma once

#include "tools/listing-sim/Listing.h"
#include "tools/listing-sim/Vocabulary.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace pelimo::sim {

// The simulated site's listings, generated from a seed so that every run with the same seed
// serves the same titles, types and prices. Not thread-safe: the server guards it.
class Catalogue {
public:
    Catalogue(const Vocabulary& words, uint64_t seed, size_t size, std::string imageBase);

    // Adds count listings whose titles contain word and no catalogue word, of mixed types
    // and prices, so a search for word finds exactly those.
    void addHits(const std::string& word, size_t count);

    const std::vector<Listing>& listings() const { return all; }
    const Listing* find(const std::string& itemNo) const;

    ListingFields fieldsAt(const Listing& listing, int64_t now) const;
    static int64_t priceAt(const Listing& listing, int64_t now);

    // "3日", "5時間", "12分", "45秒": the largest unit that fits; "0秒" once ended.
    std::string remainText(int64_t secondsLeft) const;

private:
    Listing generated(uint64_t& state, std::string itemNo, std::string title);
    void add(Listing listing);

    const Vocabulary& words;
    uint64_t seed;
    std::string imageBase;
    std::vector<Listing> all;
    std::unordered_map<std::string, size_t> byItemNo;
    std::unordered_map<std::string, size_t> hitsPerWord;
    size_t hitSerial = 0;
};

} // namespace pelimo::sim
