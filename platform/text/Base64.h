#pragma once

#include <string>
#include <string_view>

namespace pelimo {

// Base64 with padding (RFC 4648 section 4), as encoded words and message bodies carry it.
std::string base64Encode(std::string_view bytes);

} // namespace pelimo
