#pragma once

#include <string_view>

namespace pelimo {

// Orders two Shift-JIS texts character by character by character code, a double-byte
// character counting as its lead byte times 256 plus its trail byte (so every double-byte
// character comes after every single-byte one, half-width katakana included).
// Negative, zero or positive like strcmp.
int compareSjis(std::string_view a, std::string_view b);

} // namespace pelimo
