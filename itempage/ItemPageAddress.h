#pragma once

#include "xmlclient/Endpoints.h"
#include "xmlclient/ItemInfo.h"

#include <cstddef>
#include <string>

namespace pelimo {

// Longest item page address the program hands to a browser.
inline constexpr size_t kMaxItemPageAddressBytes = 1023;

// The web page of one listing on the item page host; the exhibit identifier goes in as the
// listing service reported it. Empty when the address would exceed kMaxItemPageAddressBytes.
std::string itemPageAddress(const Endpoints& endpoints, const ItemInfo& item);

} // namespace pelimo
