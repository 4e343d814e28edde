#include "search/saved/SavedSearchList.h"

#include <algorithm>

namespace pelimo {

SavedSearchList::AddResult SavedSearchList::add(const SearchRequest& request)
{
    if (find(request))
        return AddResult::alreadySaved;
    if (list.size() >= kMaxSearches)
        return AddResult::full;
    SavedSearch saved;
    saved.request = request;
    saved.request.page = 1;
    list.push_back(std::move(saved));
    return AddResult::added;
}

bool SavedSearchList::remove(const SearchRequest& request)
{
    return std::erase_if(list, [&](const SavedSearch& s) { return sameSearch(s.request, request); }) > 0;
}

SavedSearch* SavedSearchList::find(const SearchRequest& request)
{
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const SavedSearch& s) { return sameSearch(s.request, request); });
    return it == list.end() ? nullptr : &*it;
}

} // namespace pelimo
