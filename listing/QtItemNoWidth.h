#pragma once

#include "listing/ListingColumns.h"

#include <QFontMetrics>
#include <QString>
#include <algorithm>

namespace pelimo {

// The item number column's width in a list's font: room for a letter and ten digits, the
// image the column may show beside them and the cell's margins, never narrower than the
// column's own width. Without it a ten-digit number shows cut to "31000…".
inline int itemNoColumnWidth(const QFontMetrics& metrics, int imageWidth)
{
    constexpr int kMargins = 16;
    const int text = metrics.horizontalAdvance(QStringLiteral("W0000000000"));
    return std::max(kListingColumns[kColumnItemNo].width, text + imageWidth + kMargins);
}

} // namespace pelimo
