#include "listing/ListingOrder.h"

#include "platform/text/NumberText.h"
#include "platform/text/SjisText.h"
#include "xmlclient/AuctionType.h"

#include <algorithm>
#include <numeric>

namespace pelimo {
namespace {

bool isNumericColumn(int column)
{
    return column >= 0 && column < kListingColumnCount &&
           kListingColumns[static_cast<size_t>(column)].sortKey != SortKey::text;
}

} // namespace

std::u16string sjisCharacterCodes(std::string_view sjis)
{
    std::u16string codes;
    codes.reserve(sjis.size());
    for (size_t i = 0; i < sjis.size(); ++i) {
        const auto lead = static_cast<unsigned char>(sjis[i]);
        if (platform::isSjisLeadByte(lead) && i + 1 < sjis.size()) {
            const auto trail = static_cast<unsigned char>(sjis[i + 1]);
            codes.push_back(static_cast<char16_t>(lead * 256 + trail));
            ++i;
        } else {
            codes.push_back(static_cast<char16_t>(lead));
        }
    }
    return codes;
}

int compareSjisText(std::string_view a, std::string_view b)
{
    return sjisCharacterCodes(a).compare(sjisCharacterCodes(b));
}

int64_t numericSortValue(int column, std::string_view cellText)
{
    const SortKey key = column >= 0 && column < kListingColumnCount
                            ? kListingColumns[static_cast<size_t>(column)].sortKey
                            : SortKey::count;
    switch (key) {
    case SortKey::price:
        return priceValue(cellText);
    case SortKey::remainingTime:
        return remainingSeconds(cellText);
    case SortKey::text:
    case SortKey::count:
        break;
    }
    return leadingInteger(cellText);
}

bool cellLess(int column, std::string_view a, std::string_view b)
{
    if (isNumericColumn(column))
        return numericSortValue(column, a) < numericSortValue(column, b);
    return compareSjisText(a, b) < 0;
}

void sortRowIds(std::vector<int32_t>& rowIds, int column, bool ascending,
                const std::function<std::string_view(int32_t)>& cellOf)
{
    if (rowIds.empty())
        return;
    const int32_t maxId = *std::max_element(rowIds.begin(), rowIds.end());
    const auto size = static_cast<size_t>(maxId) + 1;

    // Keys are compared as 64-bit values, so no difference of two numbers can overflow.
    if (isNumericColumn(column)) {
        std::vector<int64_t> keys(size);
        for (int32_t id : rowIds)
            keys[static_cast<size_t>(id)] = numericSortValue(column, cellOf(id));
        std::stable_sort(rowIds.begin(), rowIds.end(), [&](int32_t a, int32_t b) {
            const int64_t ka = keys[static_cast<size_t>(a)];
            const int64_t kb = keys[static_cast<size_t>(b)];
            return ascending ? ka < kb : kb < ka;
        });
        return;
    }
    std::vector<std::u16string> keys(size);
    for (int32_t id : rowIds)
        keys[static_cast<size_t>(id)] = sjisCharacterCodes(cellOf(id));
    std::stable_sort(rowIds.begin(), rowIds.end(), [&](int32_t a, int32_t b) {
        const std::u16string& ka = keys[static_cast<size_t>(a)];
        const std::u16string& kb = keys[static_cast<size_t>(b)];
        return ascending ? ka < kb : kb < ka;
    });
}

} // namespace pelimo
