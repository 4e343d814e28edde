#pragma once

#include "listing/ListingColumns.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

// Character codes of a Shift-JIS text, one per character: a double-byte character counts as
// lead * 256 + trail, any other byte as itself. Comparing two such sequences element by
// element, a prefix first, is the list's text order.
std::u16string sjisCharacterCodes(std::string_view sjis);

// The text order of the list: negative, zero or positive.
int compareSjisText(std::string_view a, std::string_view b);

// The number a numeric column sorts by, after its sort key: the price without its yen signs,
// the unit and bid counts, the remaining seconds (-1 for "-" and for texts without a unit).
int64_t numericSortValue(int column, std::string_view cellText);

// Whether a cell sorts before another in the column, ascending: by the column's number, or by
// the text order in a text column. The same order sortRowIds gives.
bool cellLess(int column, std::string_view a, std::string_view b);

// Reorders row ids by one column. cellOf gives a row id's text in that column; every key is
// computed once before the sort, so long lists sort quickly. Rows that compare equal keep
// their order.
void sortRowIds(std::vector<int32_t>& rowIds, int column, bool ascending,
                const std::function<std::string_view(int32_t)>& cellOf);

} // namespace pelimo
