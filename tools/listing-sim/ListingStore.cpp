#include "tools/listing-sim/ListingStore.h"

#include "platform/text/NumberText.h"

#include <algorithm>
#include <limits>

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

// The text with its leading amount replaced, the unit after it kept ("12800円" -> "15000円").
std::string withAmount(const std::string& text, int64_t amount)
{
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    return std::to_string(amount) + (digits > 0 ? text.substr(digits) : std::string());
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

const ListingStore::Pinned* ListingStore::pinnedListing(const std::string& itemNo) const
{
    for (const Pinned& p : pinned)
        if (p.fields.itemNo == itemNo)
            return &p;
    return nullptr;
}

void ListingStore::pin(ListingFields fields, std::optional<int64_t> endsAt)
{
    removed.erase(fields.itemNo);
    endedEarly.erase(fields.itemNo);
    for (Pinned& p : pinned)
        if (p.fields.itemNo == fields.itemNo) {
            p = Pinned{std::move(fields), endsAt};
            return;
        }
    pinned.push_back(Pinned{std::move(fields), endsAt});
}

void ListingStore::remove(const std::string& itemNo)
{
    std::erase_if(pinned, [&](const Pinned& p) { return p.fields.itemNo == itemNo; });
    endedEarly.erase(itemNo);
    removed.insert(itemNo);
}

void ListingStore::clearOverrides()
{
    pinned.clear();
    removed.clear();
    endedEarly.clear();
}

ListingStatus ListingStore::status(const std::string& itemNo, int64_t now) const
{
    ListingStatus result;
    const Pinned* pin = pinnedListing(itemNo);
    const Listing* listing = pin || removed.count(itemNo) != 0 ? nullptr : catalogue.find(itemNo);
    if (!pin && (!listing || (listing->shownFromStart && now < listing->startsAt)))
        return result;
    if (const auto early = endedEarly.find(itemNo); early != endedEarly.end()) {
        result.state = ListingStatus::State::Ended;
        result.fields = early->second.fields;
        result.finalPrice = early->second.price;
        result.finalBids = early->second.bids;
        result.endedAt = early->second.at;
        return result;
    }
    if (pin) {
        result.fields = pin->fields;
        const bool ended = pin->endsAt && now >= *pin->endsAt;
        result.state = ended ? ListingStatus::State::Ended : ListingStatus::State::Running;
        result.finalPrice = leadingInteger(pin->fields.currentPrice);
        result.finalBids = leadingInteger(pin->fields.bidNum);
        result.endedAt = ended ? *pin->endsAt : 0;
        return result;
    }
    if (now < listing->endsAt) {
        result.state = ListingStatus::State::Running;
        result.fields = catalogue.fieldsAt(*listing, now);
        return result;
    }
    result.state = ListingStatus::State::Ended;
    result.fields = catalogue.fieldsAt(*listing, listing->endsAt);
    result.finalPrice = Catalogue::priceAt(*listing, listing->endsAt);
    result.finalBids = Catalogue::bidsAt(*listing, listing->endsAt);
    result.endedAt = listing->endsAt;
    return result;
}

std::optional<ListingFields> ListingStore::lookup(const std::string& itemNo, int64_t now) const
{
    ListingStatus found = status(itemNo, now);
    if (found.state != ListingStatus::State::Running)
        return std::nullopt;
    return std::move(found.fields);
}

ListingStore::EndOutcome ListingStore::end(const std::string& itemNo, std::optional<int64_t> price,
                                           std::optional<int64_t> bids, int64_t now)
{
    const ListingStatus current = status(itemNo, now);
    if (current.state == ListingStatus::State::Unknown)
        return EndOutcome::Unknown;
    if (current.state == ListingStatus::State::Ended)
        return EndOutcome::AlreadyEnded;
    EndedEarly ended;
    ended.price = price.value_or(leadingInteger(current.fields.currentPrice));
    ended.bids = bids.value_or(leadingInteger(current.fields.bidNum));
    ended.at = now;
    ended.fields = current.fields;
    ended.fields.currentPrice = withAmount(current.fields.currentPrice, ended.price);
    ended.fields.bidNum = std::to_string(ended.bids);
    endedEarly[itemNo] = std::move(ended);
    return EndOutcome::Ended;
}

std::vector<EndedListing> ListingStore::endedByTests(int64_t now) const
{
    std::vector<EndedListing> out;
    for (const auto& [itemNo, ended] : endedEarly)
        out.push_back({itemNo, ended.price, ended.bids, ended.at});
    for (const Pinned& p : pinned)
        if (p.endsAt && now >= *p.endsAt && endedEarly.count(p.fields.itemNo) == 0)
            out.push_back({p.fields.itemNo, leadingInteger(p.fields.currentPrice),
                           leadingInteger(p.fields.bidNum), *p.endsAt});
    std::sort(out.begin(), out.end(), [](const EndedListing& a, const EndedListing& b) {
        return a.endedAt != b.endedAt ? a.endedAt < b.endedAt : a.itemNo < b.itemNo;
    });
    return out;
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
    for (const Pinned& p : pinned) {
        const ListingFields& fields = p.fields;
        if ((p.endsAt && now >= *p.endsAt) || (!endedEarly.empty() && endedEarly.count(fields.itemNo) != 0))
            continue;
        if (titleMatches(fields.itemName, query) && typeMatches(fields.auctionType, query) &&
            priceMatches(leadingInteger(fields.currentPrice), query))
            take([&] { return fields; });
    }
    const auto& listings = catalogue.listings();
    const auto& indices = runningMatches(query, now);
    if (!query.priceLow && !query.priceHigh && pinned.empty() && removed.empty() && endedEarly.empty()) {
        // Nothing left to filter: count at once and build the page's slice only.
        for (int64_t i = std::max<int64_t>(first, 0); i < last && i < static_cast<int64_t>(indices.size());
             ++i)
            result.items.push_back(catalogue.fieldsAt(listings[indices[static_cast<size_t>(i)]], now));
        result.matches = static_cast<int64_t>(indices.size());
        return result;
    }
    for (const uint32_t index : indices) {
        const Listing& listing = listings[index];
        if (!priceMatches(Catalogue::priceAt(listing, now), query))
            continue;
        if ((!pinned.empty() && pinnedListing(listing.itemNo)) ||
            (!removed.empty() && removed.count(listing.itemNo) != 0) ||
            (!endedEarly.empty() && endedEarly.count(listing.itemNo) != 0))
            continue;
        take([&] { return catalogue.fieldsAt(listing, now); });
    }
    return result;
}

const std::vector<uint32_t>& ListingStore::runningMatches(const SearchQuery& query, int64_t now) const
{
    std::string key;
    for (const std::string& term : query.terms)
        key += term + '\n';
    key += '\t';
    for (const std::string& type : query.types)
        key += type + ',';
    if (matchCache.size() >= 64 && matchCache.count(key) == 0)
        matchCache.clear();
    CachedMatches& entry = matchCache[key];

    const auto& listings = catalogue.listings();
    if (entry.catalogueSize != listings.size()) {
        for (size_t i = entry.catalogueSize; i < listings.size(); ++i)
            if (titleMatches(listings[i].title, query) && typeMatches(listings[i].type, query))
                entry.matching.push_back(static_cast<uint32_t>(i));
        entry.catalogueSize = listings.size();
        entry.runningKnown = false;
    }
    if (entry.runningKnown && now >= entry.runningFrom && now < entry.runningUntil)
        return entry.running;

    // Which listings run changes only where one starts or ends: the span around now that
    // holds no such moment keeps this answer.
    entry.runningKnown = true;
    entry.runningFrom = std::numeric_limits<int64_t>::min();
    entry.runningUntil = std::numeric_limits<int64_t>::max();
    entry.running.clear();
    auto bound = [&](int64_t moment) {
        if (moment <= now)
            entry.runningFrom = std::max(entry.runningFrom, moment);
        else
            entry.runningUntil = std::min(entry.runningUntil, moment);
    };
    for (const uint32_t index : entry.matching) {
        const Listing& listing = listings[index];
        if (listing.shownFromStart)
            bound(listing.startsAt);
        bound(listing.endsAt);
        if (listing.runningAt(now))
            entry.running.push_back(index);
    }
    return entry.running;
}

} // namespace pelimo::sim
