#include "search/saved/NewListingRules.h"

namespace pelimo {

NewListingReport applyRun(SavedSearch& search, const SavedSearchRun& run, SeenSet::Time now)
{
    NewListingReport report;
    report.cutAtLimit = run.cutAtLimit();
    report.silentFirstRun = search.firstRunPending;
    for (const ItemInfo& listing : run.listings()) {
        if (search.seen.markSeen(itemNumberKey(listing.ItemNo), now) && !report.silentFirstRun)
            report.newListings.push_back(listing);
    }
    if (run.complete()) {
        search.firstRunPending = false;
        report.forgotten = search.seen.forgetSeenBefore(now - kForgetSeenAfter);
    }
    return report;
}

} // namespace pelimo
