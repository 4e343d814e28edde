#pragma once

#include <QIcon>

namespace pelimo {

// The 16x16 images of the result list: indices as the rows and the column headers use them.
enum ResultImage : int {
    kImageNone = 0,     // row not in the watch list
    kImageBell = 1,     // row in the watch list
    kImageSortUp = 2,   // header of the column sorted ascending
    kImageSortDown = 3, // header of the column sorted descending
    kImageHeaderNone = 4,
};

// Drawn once per process; the null icon for the empty images.
const QIcon& resultImage(int index);

} // namespace pelimo
