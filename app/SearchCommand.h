#pragma once

#include "xmlclient/SearchRequest.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace pelimo {

// The type boxes of the command bar in control-id order, which is also the order of the type
// codes in a request (on screen group purchase stands before fixed price).
enum class TypeBox : size_t { ordinary, multiple, immediate, fixedPrice, groupPurchase };
inline constexpr size_t kTypeBoxCount = 5;

// What the command bar's controls hold when a search starts.
struct CommandBarInput {
    std::string keyword; // Shift-JIS
    std::array<int32_t, kTypeBoxCount> typeFlags{1, 1, 1, 1, 1};
    int32_t lotNumberFlag = 0;
    std::string priceLowText;
    std::string priceHighText;
    std::string excludeText; // the "除外" field: words the result list leaves out
};

// The two price boxes of the command bar.
enum class PriceField { low, high };

// The first price box, low before high, whose text is not an amount as people type one
// ("3,000", "３０００円"); nothing when both hold an amount or are empty.
std::optional<PriceField> refusedPriceField(const CommandBarInput& input);

// The search the input asks for; nothing when the keyword is empty or a price box is refused.
std::optional<SearchRequest> buildSearchRequest(const CommandBarInput& input);

} // namespace pelimo
