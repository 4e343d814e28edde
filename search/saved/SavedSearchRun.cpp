#include "search/saved/SavedSearchRun.h"

#include "search/saved/SeenSet.h"

#include <utility>

namespace pelimo {

bool SavedSearchRun::addPage(std::vector<ItemInfo> page, bool morePages)
{
    if (state != State::running)
        return false;
    ++pageCount;
    bool dropped = false;
    for (ItemInfo& listing : page) {
        std::string itemNo = itemNumberKey(listing.ItemNo);
        if (itemNo.empty())
            continue; // no listing without a number
        // A page far longer than the service's ten listings must not grow the run without end.
        if (found.size() >= kMaxListings) {
            dropped = !numbers.contains(itemNo);
            if (dropped)
                break;
            continue;
        }
        if (numbers.insert(std::move(itemNo)).second)
            found.push_back(std::move(listing));
    }
    if (!morePages && !dropped)
        state = State::lastPage;
    else if (dropped || pageCount >= kMaxPages)
        state = State::cut;
    return state == State::running;
}

void SavedSearchRun::fail()
{
    if (state == State::running)
        state = State::failed;
}

} // namespace pelimo
