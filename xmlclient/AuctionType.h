#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelimo {

// The auction type codes in the order they travel in requests.
inline constexpr std::string_view kAllAuctionTypes = "NO,PA,FL,FP,GB";

// Four double-byte characters for the list's type column; "????" for an unknown code.
std::string_view shortTypeLabel(std::string_view code);

// Colour index 1..5 of a short label (1 ordinary, 2 multiple, 3 immediate, 4 group purchase,
// 5 fixed price), or 0 for any other text. Index k uses pair k - 1 of the type colours.
int32_t typeIndexOfLabel(std::string_view label);

// Seconds of a remaining-time text, or -1 when it names no unit. The smallest unit named
// wins, so a text naming days and hours counts its leading number in hours.
int32_t remainingSeconds(std::string_view remainTime);

// The lists' sort key of a price text: the leading integer after every yen sign has been
// removed, so "12,800円" sorts as 12, as the lists always have. The amount in yen is
// parsePriceYen's.
int32_t priceValue(std::string_view currentPrice);

} // namespace pelimo
