#pragma once

#include <QIcon>

namespace pelimo {

// The 16x16 images of the listing lists: indices as the rows and the column headers use them.
enum ResultImage : int {
    kImageNone = 0,     // row not in the watch list
    kImageBell = 1,     // row in the watch list
    kImageSortUp = 2,   // header of the column sorted ascending
    kImageSortDown = 3, // header of the column sorted descending
    kImageHeaderNone = 4,
};

// Drawn once per process. A row's empty image is a transparent 16x16 image that takes its
// place in the cell; the header's empty image is the null icon.
const QIcon& resultImage(int index);

} // namespace pelimo
