#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelimo {

// What a price field holds: an amount, nothing (no bound), or text that is not an amount.
struct PriceText {
    enum class Kind { amount, noBound, refused };

    Kind kind = Kind::refused;
    int32_t amount = 0; // yen, when kind is amount

    bool refused() const { return kind == Kind::refused; }
    // The amount, or nothing for an empty field; only meaningful when not refused.
    std::optional<int32_t> bound() const
    {
        return kind == Kind::amount ? std::optional<int32_t>(amount) : std::nullopt;
    }
};

// Reads a yen amount as a person types it into a price field (Shift-JIS): digits in half or
// full width, optionally grouped by threes with half- or full-width commas ("3,000",
// "１２，８００"), an optional trailing "円", blanks in half or full width around. A field
// that is empty or blank is no bound. Anything else is refused: letters, a sign, a decimal
// point, blanks inside the number, commas that do not group by threes ("3,00", "30,00",
// ",300"), or an amount beyond the largest int32.
PriceText parsePriceText(std::string_view sjis);

// The yen amount of a price text from the listing service (Shift-JIS): digits, half or full
// width, with commas between them as thousands separators, an optional yen sign in front and
// an optional "円" after, blanks around. Nothing for any other text ("-" of a failed fetch,
// an empty text, stray characters, more digits than any price has), so a price is never
// misread as a smaller one. (The lists' sort key reads the same texts differently: see
// priceValue.)
std::optional<int64_t> parsePriceYen(std::string_view sjis);

// A count (bids, units) from the service: digits, half or full width, commas allowed between
// them, blanks around; nothing for any other text.
std::optional<int64_t> parseCount(std::string_view sjis);

} // namespace pelimo
