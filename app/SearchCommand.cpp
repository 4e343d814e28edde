#include "app/SearchCommand.h"

#include "platform/text/PriceText.h"
#include "platform/text/SjisText.h"

#include <string_view>

namespace pelimo {

namespace {

constexpr std::array<const char*, kTypeBoxCount> kTypeCodes{"NO", "PA", "FL", "FP", "GB"};

// A full-width space becomes an ASCII blank; the scan walks whole characters so the trail
// byte of another character is never taken for the start of one.
std::string narrowSpaces(std::string_view keyword)
{
    std::string out;
    out.reserve(keyword.size());
    for (size_t i = 0; i < keyword.size(); ++i) {
        const auto c = static_cast<unsigned char>(keyword[i]);
        if (platform::isSjisLeadByte(c) && i + 1 < keyword.size()) {
            if (c == 0x81 && static_cast<unsigned char>(keyword[i + 1]) == 0x40) {
                out += ' ';
            } else {
                out += keyword[i];
                out += keyword[i + 1];
            }
            ++i;
        } else {
            out += keyword[i];
        }
    }
    return out;
}

// An empty box is no bound, which the request spells as 0.
int32_t priceOf(std::string_view text)
{
    return parsePriceText(text).bound().value_or(0);
}

} // namespace

std::optional<PriceField> refusedPriceField(const CommandBarInput& input)
{
    if (parsePriceText(input.priceLowText).refused())
        return PriceField::low;
    if (parsePriceText(input.priceHighText).refused())
        return PriceField::high;
    return std::nullopt;
}

std::optional<SearchRequest> buildSearchRequest(const CommandBarInput& input)
{
    if (input.keyword.empty() || refusedPriceField(input)) {
        return std::nullopt;
    }
    SearchRequest request;
    request.text = std::string(platform::cutSjis(narrowSpaces(input.keyword), SearchRequest::kMaxTextBytes));
    for (size_t i = 0; i < kTypeBoxCount; ++i) {
        if (input.typeFlags[i] == 1) {
            if (!request.auctionTypes.empty()) {
                request.auctionTypes += ',';
            }
            request.auctionTypes += kTypeCodes[i];
        }
    }
    request.priceLow = priceOf(input.priceLowText);
    request.priceHigh = priceOf(input.priceHighText);
    request.lotNumberMode = input.lotNumberFlag;
    request.page = 1;
    request.excludeWords = input.excludeText;
    return request;
}

} // namespace pelimo
