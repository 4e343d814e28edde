#pragma once

#include "xmlclient/SearchRequest.h"

#include <string>

namespace pelimo {

// The status line texts of the saved searches.
std::string savedSearchFileMovedAsideStatus(const std::string& movedTo);
std::string savedSearchPageLimitStatus(const SearchRequest& search);
std::string savedSearchListFullStatus();
std::string savedSearchFileNotSavedStatus();
std::string savedSearchAlreadySavedStatus();

} // namespace pelimo
