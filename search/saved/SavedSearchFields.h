#pragma once

#include "search/saved/SeenSet.h"
#include "xmlclient/SearchRequest.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace pelimo {

// The elements of SearchList.xml, as its reader and its writer both know them:
//   <root><SavedSearch> the fields in this order (Exclude only for a search with exclude
//   words, so a file of searches without them reads and writes as before), then <Seen> with one
//   <ItemNo lastSeen="2026-12-08T09:20:31Z"> per listing seen </Seen></SavedSearch>...</root>
// No Seen element marks a search whose first run is still to come.
inline constexpr const char* kRootElement = "root";
inline constexpr const char* kSavedSearchElement = "SavedSearch";
inline constexpr const char* kSeenElement = "Seen";
inline constexpr const char* kItemNoElement = "ItemNo";
inline constexpr const char* kLastSeenAttribute = "lastSeen";

enum class SavedSearchField { keyword, lotNumberMode, auctionTypes, priceLow, priceHigh, exclude };

struct SavedSearchFieldName {
    SavedSearchField field;
    const char* element;
};
inline constexpr std::array<SavedSearchFieldName, 6> kSavedSearchFields{{
    {SavedSearchField::keyword, "Keyword"},
    {SavedSearchField::lotNumberMode, "LotNumberMode"},
    {SavedSearchField::auctionTypes, "AuctionTypes"},
    {SavedSearchField::priceLow, "PriceLow"},
    {SavedSearchField::priceHigh, "PriceHigh"},
    {SavedSearchField::exclude, "Exclude"},
}};

// Whether the search's file record holds the field at all.
bool savedSearchHasField(const SearchRequest& request, SavedSearchField field);

std::optional<SavedSearchField> savedSearchFieldNamed(std::string_view element);
// The field's text as the file holds it (Shift-JIS).
std::string savedSearchFieldText(const SearchRequest& request, SavedSearchField field);
// Sets the field from the text of its element. An element the writer left empty holds one
// line break: that is the empty text it was.
void setSavedSearchField(SearchRequest& request, SavedSearchField field, const std::string& sjis);

// When a listing was last seen, in UTC to the second: "2026-12-08T09:20:31Z".
std::string seenTimeText(SeenSet::Time t);
std::optional<SeenSet::Time> parseSeenTime(const std::string& text);

} // namespace pelimo
