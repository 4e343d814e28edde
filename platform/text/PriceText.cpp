#include "platform/text/PriceText.h"

#include "PlatformTexts.h"
#include "platform/text/TypedCharacters.h"

#include <limits>
#include <vector>

namespace pelimo {
namespace {

// Digits, with commas only between groups of three after a first group of one to three.
std::optional<int32_t> groupedAmount(const std::vector<TypedCharacter>& chars, size_t begin, size_t end)
{
    int64_t value = 0;
    size_t groupDigits = 0;
    bool grouped = false;
    for (size_t i = begin; i < end; ++i) {
        const char c = chars[i].ascii;
        if (c == ',') {
            if (groupDigits == 0 || (grouped ? groupDigits != 3 : groupDigits > 3))
                return std::nullopt;
            grouped = true;
            groupDigits = 0;
            continue;
        }
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int32_t>::max())
            return std::nullopt;
        ++groupDigits;
    }
    if (groupDigits == 0 || (grouped && groupDigits != 3))
        return std::nullopt;
    return static_cast<int32_t>(value);
}

} // namespace

PriceText parsePriceText(std::string_view sjis)
{
    const std::vector<TypedCharacter> chars = typedCharacters(sjis);
    size_t begin = 0;
    size_t end = chars.size();
    const auto trimBlanks = [&] {
        while (begin < end && isTypedBlank(chars[begin]))
            ++begin;
        while (end > begin && isTypedBlank(chars[end - 1]))
            --end;
    };
    trimBlanks();
    if (begin == end)
        return {PriceText::Kind::noBound};
    if (chars[end - 1].bytes == platform_text::kYen) {
        --end;
        trimBlanks(); // "3,000 円"
    }
    const std::optional<int32_t> amount = groupedAmount(chars, begin, end);
    if (!amount)
        return {PriceText::Kind::refused};
    return {PriceText::Kind::amount, *amount};
}

} // namespace pelimo
