#pragma once

#include "search/PageSource.h"
#include "xmlclient/Endpoints.h"

#include <memory>

namespace pelimo {

class XmlDocumentClient;

// Search pages from the XML listing service, through the list's own client. The load waits
// handling pending events, and the answer is delivered before start returns.
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
    // Shared with the request in progress, so a source destroyed during the wait leaves the
    // waiting client alive until the wait has returned.
    std::shared_ptr<XmlDocumentClient> client;
};

} // namespace pelimo
