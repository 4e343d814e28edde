#pragma once

#include "xmlclient/SearchRequest.h"

#include <cstddef>
#include <string>

namespace pelimo {

// The status line texts of the saved searches.
std::string savedSearchFileMovedAsideStatus(const std::string& movedTo);
std::string savedSearchPageLimitStatus(const SearchRequest& search);
std::string savedSearchListFullStatus();
std::string savedSearchFileNotSavedStatus();
std::string savedSearchAlreadySavedStatus();
// SearchList.xml holds more searches than run; `leftOut` of them stay in the file unopened.
std::string savedSearchesLeftOutStatus(size_t leftOut);

} // namespace pelimo
