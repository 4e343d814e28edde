#include "tools/listing-sim/Catalogue.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace pelimo::sim {
namespace {

// splitmix64: small, fast and identical everywhere, unlike the standard distributions.
uint64_t nextRandom(uint64_t& state)
{
    uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

int64_t between(uint64_t& state, int64_t low, int64_t high)
{
    return low + static_cast<int64_t>(nextRandom(state) % static_cast<uint64_t>(high - low + 1));
}

template <typename T> const T& pick(uint64_t& state, const std::vector<T>& from)
{
    return from[nextRandom(state) % from.size()];
}

std::string numbered(const char* prefix, size_t serial)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%08zu", prefix, serial);
    return buffer;
}

uint64_t hashOf(const std::string& text)
{
    uint64_t h = 1469598103934665603ULL; // FNV-1a
    for (const unsigned char c : text)
        h = (h ^ c) * 1099511628211ULL;
    return h;
}

} // namespace

Catalogue::Catalogue(const Vocabulary& words, uint64_t seed, size_t size, std::string imageBase)
    : words(words), seed(seed), imageBase(std::move(imageBase))
{
    uint64_t state = seed;
    all.reserve(size);
    for (size_t i = 1; i <= size; ++i) {
        std::string title =
            pick(state, words.origins) + ' ' + pick(state, words.goods) + ' ' + pick(state, words.conditions);
        if (nextRandom(state) % 2 == 0)
            title += ' ' + pick(state, words.extras);
        add(generated(state, numbered("31", i), std::move(title)));
    }
}

Listing Catalogue::generated(uint64_t& state, std::string itemNo, std::string title)
{
    static const std::array<const char*, 20> typeMix = {"NO", "NO", "NO", "NO", "NO", "NO", "NO",
                                                        "NO", "PA", "PA", "PA", "FL", "FL", "FL",
                                                        "FL", "FP", "FP", "FP", "GB", "GB"};
    Listing listing;
    listing.itemNo = std::move(itemNo);
    listing.title = std::move(title);
    listing.type = typeMix[nextRandom(state) % typeMix.size()];
    listing.startPrice = between(state, 10, 8000) * 10;

    const int64_t spread = nextRandom(state) % 10;
    if (spread == 0)
        listing.endsAt = between(state, 2 * 60, 60 * 60);
    else if (spread < 4)
        listing.endsAt = between(state, 60 * 60, 24 * 3600);
    else
        listing.endsAt = between(state, 24 * 3600, 7 * 24 * 3600);

    if (listing.type == "FP" || listing.type == "GB") {
        listing.units = listing.type == "FP" ? between(state, 1, 50) : between(state, 10, 200);
        listing.startBids = listing.type == "GB" ? between(state, 0, 50) : 0;
    } else {
        listing.units = listing.type == "PA" ? between(state, 2, 20) : 1;
        listing.startBids = between(state, 0, 30);
        listing.priceStep = std::max<int64_t>(10, listing.startPrice / 400 * 10);
        listing.bidInterval = between(state, 120, 900);
    }
    return listing;
}

void Catalogue::add(Listing listing)
{
    byItemNo[listing.itemNo] = all.size();
    all.push_back(std::move(listing));
}

void Catalogue::addHits(const std::string& word, size_t count)
{
    uint64_t state = seed ^ hashOf(word);
    size_t& serial = hitsPerWord[word];
    for (size_t i = 0; i < count; ++i) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, " #%06zu", ++serial);
        add(generated(state, numbered("39", ++hitSerial), word + ' ' + words.hitsFiller + suffix));
    }
}

const Listing* Catalogue::find(const std::string& itemNo) const
{
    const auto it = byItemNo.find(itemNo);
    return it == byItemNo.end() ? nullptr : &all[it->second];
}

int64_t Catalogue::priceAt(const Listing& listing, int64_t now)
{
    if (listing.bidInterval <= 0)
        return listing.startPrice;
    const int64_t elapsed = std::clamp<int64_t>(now, 0, listing.endsAt);
    return listing.startPrice + elapsed / listing.bidInterval * listing.priceStep;
}

ListingFields Catalogue::fieldsAt(const Listing& listing, int64_t now) const
{
    const int64_t elapsed = std::clamp<int64_t>(now, 0, listing.endsAt);
    const int64_t bids = listing.bidInterval > 0 ? elapsed / listing.bidInterval : 0;
    ListingFields fields;
    fields.itemNo = listing.itemNo;
    fields.itemName = listing.title;
    fields.currentPrice = std::to_string(priceAt(listing, now)) + words.yen;
    fields.imageUrl = imageBase + "/img/" + listing.itemNo + ".jpg";
    fields.auctionType = listing.type;
    fields.itemNum = std::to_string(listing.units);
    fields.bidNum = std::to_string(listing.startBids + bids);
    fields.remainTime = remainText(listing.endsAt - now);
    return fields;
}

std::string Catalogue::remainText(int64_t secondsLeft) const
{
    if (secondsLeft >= 24 * 3600)
        return std::to_string(secondsLeft / (24 * 3600)) + words.days;
    if (secondsLeft >= 3600)
        return std::to_string(secondsLeft / 3600) + words.hours;
    if (secondsLeft >= 60)
        return std::to_string(secondsLeft / 60) + words.minutes;
    return std::to_string(std::max<int64_t>(secondsLeft, 0)) + words.seconds;
}

} // namespace pelimo::sim
