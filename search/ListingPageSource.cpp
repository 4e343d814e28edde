#include "search/ListingPageSource.h"

#include "xmlclient/ListingQueries.h"
#include "xmlclient/XmlDocumentClient.h"

#include <utility>

namespace pelimo {
namespace {

// The wait the service asked for; one that has run out meanwhile is over at once.
ServiceWait waitAsked(const Endpoints& endpoints)
{
    return listingServiceWait(endpoints).value_or(ServiceWait{{}, std::chrono::system_clock::now()});
}

// An answer that came but did not read as a listing page (an error page, broken XML) is
// told apart from no answer at all.
PageFailure failureOf(const AnswerStatus& answer)
{
    if (answer.httpStatus != 0)
        return PageFailure::unreadable;
    return answer.timedOut ? PageFailure::timedOut : PageFailure::unreachable;
}

} // namespace

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
    const Endpoints where = endpoints;
    auto answered = [keep, done, where](int32_t loaded, int32_t totalPages, int32_t currentPage) {
        PageResult result;
        result.ok = loaded == 0;
        if (result.ok) {
            result.totalPages = totalPages;
            result.currentPage = currentPage;
            parseListingItems(*keep, result.items);
        } else if (loaded == kServiceWaiting) {
            result.serviceWait = waitAsked(where);
        } else {
            result.failure = failureOf(keep->lastAnswer());
        }
        keep->release();
        done(std::move(result));
    };
    switch (startSearchListing(*keep, endpoints, request, std::move(answered))) {
    case 0:
        return;
    case kServiceWaiting: {
        PageResult result;
        result.serviceWait = waitAsked(endpoints);
        return done(std::move(result));
    }
    default:
        return done(PageResult{});
    }
}

void ListingPageSource::abort()
{
    client->abortLoad();
}

} // namespace pelimo
