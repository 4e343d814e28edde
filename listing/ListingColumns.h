#pragma once

#include <array>

namespace pelimo {

// The columns of a listing list, in display order: the result lists and the watch list alike.
enum ListingColumn : int {
    kColumnItemNo = 0,
    kColumnItemName = 1,
    kColumnPrice = 2,
    kColumnType = 3,
    kColumnUnits = 4,
    kColumnBids = 5,
    kColumnRemainTime = 6,
    kListingColumnCount = 7,
};

enum class ColumnAlign { left, centre, right };

// What a column's text is compared by when the list is sorted on it.
enum class SortKey {
    text,          // the Shift-JIS character codes
    price,         // the number without its yen signs
    count,         // the leading integer
    remainingTime, // seconds; -1 for "-" and for texts without a unit
};

struct ListingColumnDef {
    const char* header; // Shift-JIS
    int width;          // pixels
    ColumnAlign align;
    SortKey sortKey;
};

// One row per column, in ListingColumn order.
extern const std::array<ListingColumnDef, kListingColumnCount> kListingColumns;

// Columns of the program's own after the listing columns, which keep their places: the
// listing's picture (the lists show it while the setting is on) and, in the watch list, the
// user's note on the listing and the price's course, drawn in the cell. None sorts the list.
enum ExtraListingColumn : int {
    kColumnPicture = kListingColumnCount,
    kColumnNote = kListingColumnCount + 1,
    kColumnTrend = kListingColumnCount + 2,
};
extern const ListingColumnDef kPictureColumn;
extern const ListingColumnDef kNoteColumn;
extern const ListingColumnDef kTrendColumn;

} // namespace pelimo
