#pragma once

#include "xmlclient/ItemInfo.h"
#include "xmlclient/SearchRequest.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

// What the saved searches of one watch cycle gather for the balloon and the alert mail; the
// texts are those of the watch list's alarms.
class NewListingAlerts {
public:
    // What a listing's alert line ends with (a relisting's earlier final price), or empty.
    using LineNote = std::function<std::string(const ItemInfo& listing)>;

    // Adds one search's new listings; a search without any adds nothing.
    void add(const SearchRequest& search, const std::vector<ItemInfo>& newListings,
             const LineNote& note = {});

    // The note of a relisting: the earlier listing's final price, when it had one (Shift-JIS).
    static std::string relistingNote(const std::optional<int64_t>& earlierFinalPrice);

    int32_t newCount() const { return count; }
    // The listing the balloon names.
    const ItemInfo& firstNew() const { return first; }

    static std::string_view balloonTitle();
    // The first new listing's alarm line and the count of the others; empty when none is new.
    std::string balloonText() const;
    // The body of the cycle's one alert mail: the watched listings' alarm lines as the watch
    // cycle gathered them, then a block per search with new listings, headed by its keyword.
    std::string mailText(const std::string& watchedLines) const;

private:
    std::vector<std::string> blocks;
    ItemInfo first;
    std::string firstLine;
    int32_t count = 0;
};

} // namespace pelimo
