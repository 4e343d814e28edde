#include "xmlclient/Endpoints.h"

#include <cstdlib>

namespace pelimo {
namespace {

void readVariable(const char* name, std::string& target)
{
    const char* value = std::getenv(name);
    if (value && *value)
        target = value;
}

} // namespace

Endpoints endpointsFromEnvironment()
{
    Endpoints endpoints;
    readVariable("PELIMO_LISTING_BASE", endpoints.listingBase);
    readVariable("PELIMO_ITEMPAGE_BASE", endpoints.itemPageBase);
    return endpoints;
}

} // namespace pelimo
