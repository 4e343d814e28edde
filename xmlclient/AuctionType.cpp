#include "xmlclient/AuctionType.h"

#include "XmlClientTexts.h"
#include "platform/text/NumberText.h"
#include "platform/text/SjisText.h"

#include <algorithm>
#include <limits>

namespace pelimo {
namespace {

// Finds a character in a Shift-JIS text on character boundaries, so the trail byte of one
// double-byte character and the next byte are never taken for another character.
size_t findCharacter(std::string_view text, std::string_view character, size_t from = 0)
{
    size_t i = from;
    while (i < text.size()) {
        if (text.compare(i, character.size(), character) == 0)
            return i;
        i += (platform::isSjisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    }
    return std::string_view::npos;
}

bool containsCharacter(std::string_view text, std::string_view character)
{
    return findCharacter(text, character) != std::string_view::npos;
}

} // namespace

std::string_view shortTypeLabel(std::string_view code)
{
    struct Entry {
        std::string_view code;
        std::string_view label;
    };
    static constexpr Entry kTable[] = {
        {"FP", xmltext::kLabelFixed},    {"GB", xmltext::kLabelGroup},     {"NO", xmltext::kLabelOrdinary},
        {"PA", xmltext::kLabelMultiple}, {"FL", xmltext::kLabelImmediate},
    };
    for (const Entry& entry : kTable) {
        if (code == entry.code)
            return entry.label;
    }
    return xmltext::kLabelUnknown;
}

int32_t typeIndexOfLabel(std::string_view label)
{
    static constexpr std::string_view kLabels[] = {
        xmltext::kLabelOrdinary, xmltext::kLabelMultiple, xmltext::kLabelImmediate,
        xmltext::kLabelGroup,    xmltext::kLabelFixed,
    };
    for (size_t i = 0; i < std::size(kLabels); ++i) {
        if (label == kLabels[i])
            return static_cast<int32_t>(i + 1);
    }
    return 0;
}

int32_t remainingSeconds(std::string_view remainTime)
{
    // The service's remaining-time texts are short; only their start is examined.
    const std::string_view text = remainTime.substr(0, std::min<size_t>(remainTime.size(), 31));

    struct Unit {
        std::string_view word;
        int64_t factor;
    };
    // Smallest unit first: a text naming two units counts in the smaller one.
    static constexpr Unit kUnits[] = {
        {xmltext::kUnitSecond, 1},
        {xmltext::kUnitMinute, 60},
        {xmltext::kUnitHour, 3600},
        {xmltext::kUnitDay, 86400},
    };
    for (const Unit& unit : kUnits) {
        if (containsCharacter(text, unit.word)) {
            const int64_t seconds = int64_t{leadingInteger(text)} * unit.factor;
            return static_cast<int32_t>(std::clamp<int64_t>(seconds, std::numeric_limits<int32_t>::min(),
                                                            std::numeric_limits<int32_t>::max()));
        }
    }
    return -1;
}

int32_t priceValue(std::string_view currentPrice)
{
    const std::string_view yen = xmltext::kYen;
    std::string digits;
    digits.reserve(currentPrice.size());
    size_t i = 0;
    while (i < currentPrice.size()) {
        const size_t at = findCharacter(currentPrice, yen, i);
        const size_t end = at == std::string_view::npos ? currentPrice.size() : at;
        digits.append(currentPrice.substr(i, end - i));
        i = at == std::string_view::npos ? end : at + yen.size();
    }
    return leadingInteger(digits);
}

} // namespace pelimo
