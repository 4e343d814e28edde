#include "search/saved/SavedSearchRun.h"

namespace pelimo {

bool SavedSearchRun::addPage(const std::vector<ItemInfo>& page, bool morePages)
{
    if (state != State::running)
        return false;
    ++pageCount;
    bool dropped = false;
    for (const ItemInfo& listing : page) {
        if (numbers.contains(listing.ItemNo))
            continue;
        // A page far longer than the service's ten listings must not grow the run without end.
        if (found.size() >= kMaxListings) {
            dropped = true;
            break;
        }
        numbers.insert(listing.ItemNo);
        found.push_back(listing);
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
