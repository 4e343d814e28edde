#include "search/ListingPageSource.h"

#include "xmlclient/ListingQueries.h"
#include "xmlclient/XmlDocumentClient.h"

#include <utility>

namespace pelimo {

ListingPageSource::ListingPageSource(const Endpoints& endpoints)
    : endpoints(endpoints), client(std::make_shared<XmlDocumentClient>())
{}

ListingPageSource::~ListingPageSource()
{
    // A request still out ends at once; its done reports the failure now.
    client->abortLoad();
}

void ListingPageSource::start(const SearchRequest& request, Done done)
{
    // The answer arrives from the event loop. Nothing of this object is touched then: it may
    // be gone, and the client lives on with the answer until the answer has been handled.
    const std::shared_ptr<XmlDocumentClient> keep = client;
    auto answered = [keep, done](int32_t loaded, int32_t totalPages, int32_t currentPage) {
        PageResult result;
        result.ok = loaded == 0;
        if (result.ok) {
            result.totalPages = totalPages;
            result.currentPage = currentPage;
            parseListingItems(*keep, result.items);
        }
        keep->release();
        done(std::move(result));
    };
    if (startSearchListing(*keep, endpoints, request, std::move(answered)) != 0)
        done(PageResult{});
}

void ListingPageSource::abort()
{
    client->abortLoad();
}

} // namespace pelimo
