#pragma once

#include "xmlclient/ItemInfo.h"

#include <vector>

namespace pelimo {

class CRkItemList;

// Hears the pages of a result list's run as they were received, for whoever keeps watch on
// the search; called from inside the run, so it must not destroy the list.
class RunCollector {
public:
    virtual ~RunCollector() = default;

    // One page of the run, in page order; more says whether the service has pages after it.
    virtual void pageCollected(CRkItemList& list, std::vector<ItemInfo> rows, bool more) = 0;
    // The run ended before its last page: a failed request, a pause or a stop.
    virtual void runBroken(CRkItemList& list) = 0;
};

} // namespace pelimo
