#pragma once

#include "search/PageSource.h"
#include "xmlclient/Endpoints.h"

#include <memory>

namespace pelimo {

class XmlDocumentClient;

// Search pages from the XML listing service, through the list's own client. start returns at
// once; the answer is delivered later from the event loop (at once when the request cannot
// start, or when abort ends it).
class ListingPageSource final : public PageSource {
public:
    explicit ListingPageSource(const Endpoints& endpoints);
    ~ListingPageSource() override;
    ListingPageSource(const ListingPageSource&) = delete;
    ListingPageSource& operator=(const ListingPageSource&) = delete;

    void start(const SearchRequest& request, Done done) override;
    void abort() override;

private:
    const Endpoints& endpoints;
    // Shared with the request in progress, so a source destroyed while its answer is being
    // handled leaves the client alive until the handling has returned.
    std::shared_ptr<XmlDocumentClient> client;
};

} // namespace pelimo
