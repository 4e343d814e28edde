#include "search/saved/NewListingAlerts.h"

#include "SavedSearchTexts.h"
#include "notify/AlarmText.h"
#include "platform/text/TextFill.h"

namespace pelimo {

void NewListingAlerts::add(const SearchRequest& search, const std::vector<ItemInfo>& newListings)
{
    if (newListings.empty())
        return;
    if (count == 0)
        first = newListings.front();
    count += static_cast<int32_t>(newListings.size());
    std::string block = fillText(saved_search_text::kMailHeading, {search.text});
    block += '\n';
    for (const ItemInfo& listing : newListings) {
        block += alarmLine(listing);
        block += '\n';
    }
    blocks.push_back(std::move(block));
}

std::string_view NewListingAlerts::balloonTitle()
{
    return newListingsTitle();
}

std::string NewListingAlerts::balloonText() const
{
    return count == 0 ? std::string() : alarmBalloonText(alarmLine(first), count);
}

std::string NewListingAlerts::mailText(const std::string& watchedLines) const
{
    std::string text = watchedLines;
    for (const std::string& block : blocks) {
        // A blank line sets each block apart from what comes before it.
        if (!text.empty())
            text += '\n';
        text += block;
    }
    return text;
}

} // namespace pelimo
