#pragma once

#include "search/saved/SavedSearch.h"
#include "search/saved/SavedSearchRun.h"
#include "xmlclient/ItemInfo.h"

#include <chrono>
#include <cstddef>
#include <vector>

namespace pelimo {

// A listing a saved search has not met for this long is forgotten, so its file stays small.
inline constexpr std::chrono::days kForgetSeenAfter{30};

// What one run of a saved search found.
struct NewListingReport {
    std::vector<ItemInfo> newListings; // in page order, each once
    bool silentFirstRun = false;       // the run only recorded what exists
    bool cutAtLimit = false;           // the run stopped at its page limit
    size_t forgotten = 0;              // listings dropped from the seen set
};

// Tells the run's new listings (an ItemNo the search has not seen) from the seen ones and
// marks all of them seen at now. The first run reports nothing; it is over only once a run
// has seen all it may, since listings on pages it never reached would otherwise be reported
// as new later. Forgetting follows only a run that ended well, so a cycle that fails after a
// long pause of the program does not forget, and then report again, everything.
NewListingReport applyRun(SavedSearch& search, const SavedSearchRun& run, SeenSet::Time now);

} // namespace pelimo
