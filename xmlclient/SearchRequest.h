#pragma once

#include <cstdint>
#include <string>

namespace pelimo {

// A search as the command bar builds it; always copied by value.
struct SearchRequest {
    static constexpr size_t kMaxTextBytes = 1023;

    int32_t lotNumberMode = 0; // 1: text is a lot number (exhibit identifier)
    std::string text;          // Shift-JIS keyword or lot number, at most kMaxTextBytes
    std::string auctionTypes;  // comma-separated codes in the order NO,PA,FL,FP,GB; empty = all
    int32_t priceLow = 0;      // 0 or less: no bound
    int32_t priceHigh = 0;
    int32_t page = 1; // 1-based
    // The search's exclude words as typed (Shift-JIS): never sent, the result list leaves out
    // the listings whose titles hold one of them.
    std::string excludeWords;
};

} // namespace pelimo
