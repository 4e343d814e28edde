#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelimo {

// The yen amount of a price text from the listing service (Shift-JIS): digits, half or full
// width, with commas between them as thousands separators, an optional yen sign in front and
// an optional "円" after, blanks around. Nothing for any other text ("-" of a failed fetch,
// an empty text, stray characters, more digits than any price has), so a price is never
// misread as a smaller one.
std::optional<int64_t> parsePriceYen(std::string_view sjis);

// A count (bids, units) from the service: digits, half or full width, commas allowed between
// them, blanks around; nothing for any other text.
std::optional<int64_t> parseCount(std::string_view sjis);

} // namespace pelimo
