#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pelimo {

// The longest start of a Shift-JIS text that fits maxBytes without splitting a two-byte
// character.
std::string cutSjis(std::string_view sjis, size_t maxBytes);

} // namespace pelimo
