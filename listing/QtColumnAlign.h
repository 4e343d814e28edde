#pragma once

#include "listing/ListingColumns.h"

#include <QtCore/qnamespace.h>

namespace pelimo {

// A column's alignment as the list widgets take it, vertically centred.
inline Qt::Alignment qtAlignment(ColumnAlign align)
{
    switch (align) {
    case ColumnAlign::centre:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case ColumnAlign::right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case ColumnAlign::left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace pelimo
