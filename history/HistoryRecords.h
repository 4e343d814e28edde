#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

// Times of the history, to the second, as the system clock counts them.
using HistoryTime = std::chrono::sys_seconds;

// Where a listing was met: the watch list, or a saved search by its keyword (Shift-JIS).
struct ListingOrigin {
    enum class Kind { watchList, savedSearch };
    Kind kind = Kind::watchList;
    std::string keyword;

    static ListingOrigin watchList() { return {}; }
    static ListingOrigin savedSearch(std::string keyword) { return {Kind::savedSearch, std::move(keyword)}; }
};

// One kept observation of a listing. Texts are Shift-JIS.
struct Observation {
    HistoryTime at;
    std::optional<int64_t> price; // yen; nothing when the service's text was no price
    std::optional<int64_t> bids;
    std::string remainTime; // as the service gave it
};

// What a chart shows of one listing: its observations in time order, the last of them the
// latest sighting, and its end when it ended.
struct ListingHistory {
    bool known = false; // the store has met the listing
    std::vector<Observation> observations;
    std::optional<HistoryTime> endedAt;
};

// The price of one listing over time, in short, for a cell of a list.
struct PricePoint {
    HistoryTime at;
    int64_t price = 0;
};
struct Sparkline {
    std::optional<int64_t> first;
    std::optional<int64_t> lowest;
    std::optional<int64_t> highest;
    int32_t changes = 0;            // times the price moved
    std::vector<PricePoint> points; // the price's steps, thinned to the number asked for
};

// An ended listing as the archive shows it. Texts are Shift-JIS; titleKey is the title's
// match key (UTF-8, see normalizedTitle), which the archive's filter compares.
struct ArchiveRow {
    std::string itemNo;
    std::string title;
    std::string titleKey;
    std::string auctionType; // the service's type code
    std::optional<int64_t> finalPrice;
    std::optional<int64_t> bids;
    HistoryTime endedAt;
    ListingOrigin origin;
    bool confirmed = false; // the watch list saw it end; else a saved search stopped seeing it
};

// An archive row as the file holds it, in UTF-8, for a pass over the whole archive that
// needs no copy (an export); the views are valid while the visitor runs.
struct ArchiveRowView {
    std::string_view itemNo;
    std::string_view title;
    std::string_view titleKey;
    std::string_view auctionType;
    std::optional<int64_t> finalPrice;
    std::optional<int64_t> bids;
    HistoryTime endedAt;
    std::optional<std::string_view> keyword; // the saved search it came from; nothing: the watch list
    bool confirmed = false;
};

// The final prices of a set of ended listings: how many have one, and their median, lowest
// and highest (nothing when none has). The median of an even count is the mean of the two
// middle prices, rounded down to the yen.
struct PriceStats {
    int64_t count = 0;
    std::optional<int64_t> median;
    std::optional<int64_t> lowest;
    std::optional<int64_t> highest;
};

// An ended listing whose title matches another's: what a relisting's alert line names.
struct EndedListing {
    std::string itemNo;
    std::string title; // Shift-JIS
    std::optional<int64_t> finalPrice;
    HistoryTime endedAt;
    bool confirmed = false;
};

} // namespace pelimo
