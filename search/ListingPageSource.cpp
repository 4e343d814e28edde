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
    // A wait still in progress ends at once.
    client->abortLoad();
}

void ListingPageSource::start(const SearchRequest& request, Done done)
{
    // Nothing of this object is touched after the wait: it may be gone by then.
    const std::shared_ptr<XmlDocumentClient> keep = client;
    PageResult result;
    result.ok = searchListing(*keep, endpoints, request, result.totalPages, result.currentPage) == 0;
    if (result.ok)
        parseListingItems(*keep, result.items);
    keep->release();
    done(std::move(result));
}

void ListingPageSource::abort()
{
    client->abortLoad();
}

} // namespace pelimo
