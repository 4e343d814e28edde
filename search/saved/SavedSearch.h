#pragma once

#include "search/saved/SeenSet.h"
#include "xmlclient/SearchRequest.h"

namespace pelimo {

// A search the user asked to keep watching for new listings: the search as the command bar
// built it (its page is not kept: every run starts from page 1), every listing it has seen,
// and whether its first run, which only records what exists, is still to come.
struct SavedSearch {
    SearchRequest request;
    SeenSet seen;
    bool firstRunPending = true;
};

// Whether two requests ask the service the same thing: an empty type list and the list of
// all types, a bound of 0 and a negative one, are the same; the page does not count. Exclude
// words count as the listings they leave out (see ExcludeWords).
bool sameSearch(const SearchRequest& a, const SearchRequest& b);

} // namespace pelimo
