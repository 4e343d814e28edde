#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelimo {

// Where the listing service and the item pages live: scheme, host and port, no path.
struct Endpoints {
    static constexpr const char* kDefaultBase = "http://127.0.0.1:8931";

    std::string listingBase = kDefaultBase;
    std::string itemPageBase = kDefaultBase;

    bool operator==(const Endpoints&) const = default;
};

// Reads PELIMO_LISTING_BASE and PELIMO_ITEMPAGE_BASE; unset or empty ones keep the default.
Endpoints endpointsFromEnvironment();

// The addresses in force: an environment variable that is set wins, then the stored setting,
// then the built-in default. A stored address that is not a service address is passed over.
Endpoints resolveEndpoints(std::string_view listingSetting, std::string_view itemPageSetting);

// A service address as the settings hold it: blanks around it and one trailing "/" removed,
// then "http://" or "https://", a host name, an IPv4 or a bracketed IPv6 address, and an
// optional port from 1 to 65535; nothing else (no user, path, query or fragment). Empty text
// is empty (the built-in address); anything else gives nothing.
std::optional<std::string> normalizeServiceAddress(std::string_view text);

} // namespace pelimo
