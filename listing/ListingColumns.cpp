#include "listing/ListingColumns.h"

#include "ListingColumnTexts.h"

namespace pelimo {

const std::array<ListingColumnDef, kListingColumnCount> kListingColumns{{
    {column_text::kHeaderNo, 80, ColumnAlign::left, SortKey::text},
    {column_text::kHeaderName, 250, ColumnAlign::left, SortKey::text},
    {column_text::kHeaderPrice, 80, ColumnAlign::right, SortKey::price},
    {column_text::kHeaderType, 80, ColumnAlign::centre, SortKey::text},
    {column_text::kHeaderUnits, 80, ColumnAlign::right, SortKey::count},
    {column_text::kHeaderBids, 80, ColumnAlign::right, SortKey::count},
    {column_text::kHeaderRemain, 100, ColumnAlign::right, SortKey::remainingTime},
}};

// As wide as a thumbnail with a margin.
const ListingColumnDef kPictureColumn{column_text::kHeaderPicture, 56, ColumnAlign::centre, SortKey::text};
const ListingColumnDef kNoteColumn{column_text::kHeaderNote, 160, ColumnAlign::left, SortKey::text};
const ListingColumnDef kTrendColumn{column_text::kHeaderTrend, 90, ColumnAlign::left, SortKey::text};

} // namespace pelimo
