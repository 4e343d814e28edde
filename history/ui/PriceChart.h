#pragma once

#include "history/HistoryRecords.h"

#include <QList>
#include <QPointF>
#include <cstdint>
#include <optional>

class QChart;

namespace pelimo {

// The points of a step line through the observations: each value holds until the next one
// and, for a listing still running, until the last sighting. x is milliseconds since the
// epoch (what the chart's time axis takes). Observations without the value are passed over.
enum class ChartValue { price, bids };
QList<QPointF> stepPoints(const ListingHistory& history, ChartValue value);

// The line thinned to about maxPoints points for drawing: the time is cut into equal spans,
// and each span keeps its first, lowest, highest and last point, so no peak or dip that a
// pixel column could show is lost. A line of at most maxPoints points is returned as it is.
QList<QPointF> thinnedForDrawing(const QList<QPointF>& line, qsizetype maxPoints);

// The chart of one listing: price (left axis) and bids (right axis) as step lines over time,
// the price ceiling as a level line when there is one, and a mark at the end when the listing
// ended. Long histories are thinned to what a screen's width can show. The caller owns the
// chart.
QChart* buildPriceChart(const ListingHistory& history, std::optional<int64_t> ceiling);

} // namespace pelimo
