#pragma once

#include <cstdint>
#include <string_view>

namespace pelimo {

// The leading decimal integer of a text: leading blanks skipped, one optional sign, then the
// digits up to the first other character; no digits gives 0. Values beyond 32 bits saturate.
int32_t leadingInteger(std::string_view text);

} // namespace pelimo
