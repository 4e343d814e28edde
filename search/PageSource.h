#pragma once

#include "search/ProgressSnapshot.h"
#include "xmlclient/ItemInfo.h"
#include "xmlclient/SearchRequest.h"
#include "xmlclient/ServicePause.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace pelimo {

// One search page as the listing service answered it.
struct PageResult {
    bool ok = false; // false: the request failed or was aborted
    int32_t totalPages = 0;
    int32_t currentPage = 0;
    std::vector<ItemInfo> items;
    // Not failed: the service asked us to wait (ok is false), and the page is to be asked for
    // again when the wait is over.
    std::optional<ServiceWait> serviceWait;
    // When failed: why.
    PageFailure failure = PageFailure::unreachable;
};

// Where a paging session gets its pages from. A source carries one request at a time.
class PageSource {
public:
    using Done = std::function<void(PageResult)>;

    virtual ~PageSource() = default;

    // Starts the request of one page. done is called exactly once, before start returns or
    // later from the event loop, unless the source is destroyed first.
    virtual void start(const SearchRequest& request, Done done) = 0;
    // Ends the request in progress at once; its done then reports a failure, now or later.
    virtual void abort() = 0;
};

} // namespace pelimo
