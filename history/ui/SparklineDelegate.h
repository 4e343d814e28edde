#pragma once

#include "history/HistoryRecords.h"

#include <QStyledItemDelegate>
#include <functional>
#include <string>

namespace pelimo {

// Paints a listing's price over time as a line in its cell, scaled to the cell, on the
// background the list's own styling gives the row (alarm colours included). The series comes
// from the list at paint time, so a refreshed history shows without touching the rows.
class SparklineDelegate final : public QStyledItemDelegate {
public:
    // The series of the cell's row, or none.
    using Lookup = std::function<const Sparkline*(const QModelIndex& index)>;
    // Applies the row's own colours to the cell's option before painting.
    using Styler = std::function<void(QStyleOptionViewItem& option, const QModelIndex& index)>;

    SparklineDelegate(Lookup lookup, Styler styler, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    Lookup lookup;
    Styler styler;
};

// The polyline of the price steps in the rectangle, oldest at the left: the time runs along
// the width, the price from the lowest at the bottom to the highest at the top. Fewer than
// two points, or no price change, draw a flat line through the middle.
QPolygonF sparklinePolygon(const Sparkline& line, const QRectF& area);

// The cell's tooltip: first, lowest and highest price and the number of changes (Shift-JIS);
// empty for a listing without prices.
std::string sparklineTip(const Sparkline& line);

} // namespace pelimo
