#pragma once

#include "listing/ItemPageOrigin.h"
#include "xmlclient/ItemInfo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pelimo {

// What the result lists need from the panes around them: the watch list's membership test,
// adding to the watch list, and the item page display.
class SearchListHost {
public:
    virtual ~SearchListHost() = default;

    virtual bool isWatched(const std::string& itemNo) const = 0;
    virtual void addToWatchList(const ItemInfo& item) = 0;
    // The rows of a selection, in list order; a host that tells the user how many were
    // added overrides it.
    virtual void addAllToWatchList(const std::vector<ItemInfo>& items)
    {
        for (const ItemInfo& item : items)
            addToWatchList(item);
    }
    virtual void showItem(int32_t origin, const ItemInfo& item) = 0;
    // "価格の推移..." on a listing of a result list: its chart, where the host keeps a price
    // history; a host without one has nothing to show.
    virtual void showPriceChart(const ItemInfo& item) { static_cast<void>(item); }
};

} // namespace pelimo
