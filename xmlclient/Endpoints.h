#pragma once

#include <string>

namespace pelimo {

// Where the listing service and the item pages live: scheme, host and port, no path.
struct Endpoints {
    static constexpr const char* kDefaultBase = "http://127.0.0.1:8931";

    std::string listingBase = kDefaultBase;
    std::string itemPageBase = kDefaultBase;
};

// Reads PELIMO_LISTING_BASE and PELIMO_ITEMPAGE_BASE; unset or empty ones keep the default.
Endpoints endpointsFromEnvironment();

} // namespace pelimo
