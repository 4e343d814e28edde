#pragma once

#include <cstddef>
#include <string_view>

namespace pelimo {

// The length of an address's "http://" or "https://" scheme, in any letter case; 0 for any
// other address.
size_t webSchemeLength(std::string_view address);

} // namespace pelimo
