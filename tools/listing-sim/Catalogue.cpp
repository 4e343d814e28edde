#include "tools/listing-sim/Catalogue.h"

#include "tools/listing-sim/RemainTime.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace pelimo::sim {
namespace {

constexpr int64_t kMinute = 60;
constexpr int64_t kHour = 3600;
constexpr int64_t kDay = 24 * kHour;

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

// How long the listings there at the start still run: none ends in the first quarter of an
// hour, so a test run sees a steady catalogue, and most run for days.
int64_t firstDuration(uint64_t& state)
{
    const int64_t spread = between(state, 0, 99);
    if (spread < 3)
        return between(state, 15 * kMinute, kHour);
    if (spread < 30)
        return between(state, kHour, kDay);
    return between(state, kDay, 7 * kDay);
}

// Sellers list for one to seven days mostly, now and then for hours.
int64_t freshDuration(uint64_t& state)
{
    return between(state, 0, 99) < 15 ? between(state, 2 * kHour, kDay) : between(state, kDay, 7 * kDay);
}

bool unreservedInUrl(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

} // namespace

Catalogue::Catalogue(const Vocabulary& words, uint64_t seed, size_t size, std::string imageBase)
    : words(words), seed(seed), imageBase(std::move(imageBase))
{
    uint64_t state = seed;
    all.reserve(size);
    for (size_t slot = 0; slot < size; ++slot) {
        std::string title = randomTitle(state);
        const int64_t endsAt = firstDuration(state);
        add(generated(state, numbered("31", ++catalogueSerial), std::move(title), 0, endsAt));
        scheduleSuccessor(state, slot, 1, endsAt);
    }
}

std::string Catalogue::randomTitle(uint64_t& state) const
{
    std::string title =
        pick(state, words.origins) + ' ' + pick(state, words.goods) + ' ' + pick(state, words.conditions);
    if (nextRandom(state) % 2 == 0)
        title += ' ' + pick(state, words.extras);
    return title;
}

Listing Catalogue::generated(uint64_t& state, std::string itemNo, std::string title, int64_t startsAt,
                             int64_t endsAt)
{
    static const std::array<const char*, 20> typeMix = {"NO", "NO", "NO", "NO", "NO", "NO", "NO",
                                                        "NO", "PA", "PA", "PA", "FL", "FL", "FL",
                                                        "FL", "FP", "FP", "FP", "GB", "GB"};
    Listing listing;
    listing.itemNo = std::move(itemNo);
    listing.title = std::move(title);
    listing.type = typeMix[nextRandom(state) % typeMix.size()];
    listing.startPrice = between(state, 10, 8000) * 10;
    listing.startsAt = startsAt;
    listing.endsAt = endsAt;

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

void Catalogue::scheduleSuccessor(uint64_t& state, size_t slot, uint64_t generation, int64_t endsAt)
{
    successors.push({endsAt + between(state, 0, 20 * kMinute), slot, generation});
}

void Catalogue::advanceTo(int64_t now)
{
    while (!successors.empty() && successors.top().startsAt <= now) {
        const Successor next = successors.top();
        successors.pop();
        // Each slot's generations have their own stream, so the listings do not depend on
        // when the simulator was asked.
        uint64_t state = seed ^ (next.slot * 0x9e3779b97f4a7c15ULL) ^ (next.generation << 40);
        nextRandom(state);
        std::string title = randomTitle(state);
        const int64_t endsAt = next.startsAt + freshDuration(state);
        Listing listing =
            generated(state, numbered("31", ++catalogueSerial), std::move(title), next.startsAt, endsAt);
        listing.shownFromStart = true;
        add(std::move(listing));
        scheduleSuccessor(state, next.slot, next.generation + 1, endsAt);
    }
}

void Catalogue::addHits(const std::string& word, size_t count, int64_t now)
{
    uint64_t state = seed ^ hashOf(word);
    size_t& serial = hitsPerWord[word];
    for (size_t i = 0; i < count; ++i) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, " #%06zu", ++serial);
        const int64_t endsAt = now + between(state, kDay, 7 * kDay);
        add(generated(state, numbered("39", ++hitSerial), word + ' ' + words.hitsFiller + suffix, now,
                      endsAt));
    }
}

const Listing* Catalogue::find(const std::string& itemNo) const
{
    const auto it = byItemNo.find(itemNo);
    return it == byItemNo.end() ? nullptr : &all[it->second];
}

int64_t Catalogue::bidsAt(const Listing& listing, int64_t now)
{
    if (listing.bidInterval <= 0)
        return listing.startBids;
    const int64_t elapsed = std::clamp<int64_t>(now - listing.startsAt, 0, listing.endsAt - listing.startsAt);
    return listing.startBids + elapsed / listing.bidInterval;
}

int64_t Catalogue::priceAt(const Listing& listing, int64_t now)
{
    if (listing.bidInterval <= 0)
        return listing.startPrice;
    return listing.startPrice + (bidsAt(listing, now) - listing.startBids) * listing.priceStep;
}

ListingFields Catalogue::fieldsAt(const Listing& listing, int64_t now) const
{
    ListingFields fields;
    fields.itemNo = listing.itemNo;
    fields.itemName = listing.title;
    fields.currentPrice = std::to_string(priceAt(listing, now)) + words.yen;
    fields.imageUrl = pictureUrl(listing.itemNo);
    fields.auctionType = listing.type;
    fields.itemNum = std::to_string(listing.units);
    fields.bidNum = std::to_string(bidsAt(listing, now));
    fields.remainTime = remainText(listing.endsAt - now, words);
    return fields;
}

std::string Catalogue::pictureUrl(std::string_view itemNo) const
{
    static const char hex[] = "0123456789ABCDEF";
    std::string url = imageBase + "/img/";
    for (const unsigned char c : itemNo) {
        if (unreservedInUrl(c)) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url + ".png";
}

} // namespace pelimo::sim
