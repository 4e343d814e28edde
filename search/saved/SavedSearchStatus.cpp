#include "search/saved/SavedSearchStatus.h"

#include "SavedSearchTexts.h"
#include "platform/text/TextFill.h"
#include "search/saved/SavedSearchList.h"
#include "search/saved/SavedSearchRun.h"

namespace pelimo {

std::string savedSearchFileMovedAsideStatus(const std::string& movedTo)
{
    return fillText(saved_search_text::kStatusFileMovedAside, {movedTo});
}

std::string savedSearchPageLimitStatus(const SearchRequest& search)
{
    return fillText(saved_search_text::kStatusPageLimit,
                    {search.text, static_cast<long long>(SavedSearchRun::kMaxPages)});
}

std::string savedSearchListFullStatus()
{
    return fillText(saved_search_text::kStatusListFull,
                    {static_cast<long long>(SavedSearchList::kMaxSearches)});
}

std::string savedSearchFileNotSavedStatus()
{
    return saved_search_text::kStatusFileNotSaved;
}

std::string savedSearchAlreadySavedStatus()
{
    return saved_search_text::kStatusAlreadySaved;
}

std::string savedSearchesLeftOutStatus(size_t leftOut)
{
    return fillText(saved_search_text::kStatusLeftOut,
                    {static_cast<long long>(SavedSearchList::kMaxSearches), static_cast<long long>(leftOut)});
}

} // namespace pelimo
