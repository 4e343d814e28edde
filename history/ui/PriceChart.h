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

// The chart of one listing: price (left axis) and bids (right axis) as step lines over time,
// the price ceiling as a level line when there is one, and a mark at the end when the listing
// ended. The caller owns the chart.
QChart* buildPriceChart(const ListingHistory& history, std::optional<int64_t> ceiling);

} // namespace pelimo
