#include "search/saved/NewListingAlerts.h"

#include "SavedSearchTexts.h"
#include "notify/AlarmText.h"
#include "platform/text/TextFill.h"

namespace pelimo {

void NewListingAlerts::add(const SearchRequest& search, const std::vector<ItemInfo>& newListings,
                           const LineNote& note)
{
    if (newListings.empty())
        return;
    std::string block = fillText(saved_search_text::kMailHeading, {search.text});
    block += '\n';
    for (const ItemInfo& listing : newListings) {
        std::string line = alarmLine(listing);
        if (note)
            line += note(listing);
        if (count == 0 && &listing == &newListings.front()) {
            first = listing;
            firstLine = line;
        }
        block += line;
        block += '\n';
    }
    count += static_cast<int32_t>(newListings.size());
    blocks.push_back(std::move(block));
}

std::string NewListingAlerts::relistingNote(const std::optional<int64_t>& earlierFinalPrice)
{
    if (!earlierFinalPrice)
        return saved_search_text::kRelistingNote;
    return fillText(saved_search_text::kRelistingNoteWithPrice, {std::to_string(*earlierFinalPrice)});
}

std::string_view NewListingAlerts::balloonTitle()
{
    return newListingsTitle();
}

std::string NewListingAlerts::balloonText() const
{
    return count == 0 ? std::string() : alarmBalloonText(firstLine, count);
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
