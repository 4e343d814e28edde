#include "history/ui/PriceChart.h"

#include "HistoryUiTexts.h"
#include "platform/qt/QtText.h"

#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>

namespace pelimo {
namespace {

qreal msOf(HistoryTime at)
{
    return static_cast<qreal>(at.time_since_epoch().count()) * 1000.0;
}

std::optional<int64_t> valueOf(const Observation& o, ChartValue value)
{
    return value == ChartValue::price ? o.price : o.bids;
}

QString qs(const char* sjis)
{
    return platform::toQString(sjis);
}

// A value axis from zero (or the lowest value, when zero would flatten the line) to a little
// above the highest, so a level at the top stays visible.
void fitAxis(QValueAxis& axis, qreal low, qreal high)
{
    if (high <= low)
        high = low + 1;
    const qreal margin = (high - low) * 0.08;
    axis.setRange(std::max<qreal>(0, low - margin), high + margin);
}

} // namespace

QList<QPointF> stepPoints(const ListingHistory& history, ChartValue value)
{
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(history.observations.size() * 2));
    for (const Observation& o : history.observations) {
        const std::optional<int64_t> v = valueOf(o, value);
        if (!v)
            continue;
        const qreal x = msOf(o.at);
        if (!points.isEmpty())
            points << QPointF(x, points.back().y());
        points << QPointF(x, static_cast<qreal>(*v));
    }
    // The last value holds until the end, when the end lies after the last observation.
    if (!points.isEmpty() && history.endedAt && msOf(*history.endedAt) > points.back().x())
        points << QPointF(msOf(*history.endedAt), points.back().y());
    return points;
}

QList<QPointF> thinnedForDrawing(const QList<QPointF>& line, qsizetype maxPoints)
{
    if (line.size() <= maxPoints || maxPoints < 8)
        return line;
    const qsizetype spans = maxPoints / 4;
    const qreal first = line.front().x();
    const qreal width = line.back().x() - first;
    if (width <= 0)
        return line;
    QList<QPointF> thinned;
    thinned.reserve(maxPoints + 4);
    qsizetype i = 0;
    for (qsizetype span = 0; span < spans && i < line.size(); ++span) {
        const qreal end =
            span + 1 == spans ? line.back().x() : first + width * static_cast<qreal>(span + 1) / spans;
        const qsizetype begin = i;
        qsizetype low = i;
        qsizetype high = i;
        while (i < line.size() && line[i].x() <= end) {
            if (line[i].y() < line[low].y())
                low = i;
            if (line[i].y() > line[high].y())
                high = i;
            ++i;
        }
        if (i == begin)
            continue; // no point in this span
        // In time order, each once.
        qsizetype keep[] = {begin, std::min(low, high), std::max(low, high), i - 1};
        qsizetype last = -1;
        for (const qsizetype k : keep) {
            if (k != last)
                thinned << line[k];
            last = k;
        }
    }
    return thinned;
}

QChart* buildPriceChart(const ListingHistory& history, std::optional<int64_t> ceiling)
{
    auto* chart = new QChart;
    chart->legend()->setAlignment(Qt::AlignBottom);

    // About two points per pixel of a wide window.
    constexpr qsizetype kDrawnPoints = 4000;
    const QList<QPointF> prices = thinnedForDrawing(stepPoints(history, ChartValue::price), kDrawnPoints);
    const QList<QPointF> bids = thinnedForDrawing(stepPoints(history, ChartValue::bids), kDrawnPoints);

    auto* time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("MM/dd HH:mm"));
    time->setTitleText(qs(history_ui_text::kChartTime));
    chart->addAxis(time, Qt::AlignBottom);
    auto* priceAxis = new QValueAxis;
    priceAxis->setLabelFormat(QStringLiteral("%.0f"));
    priceAxis->setTitleText(qs(history_ui_text::kChartPrice));
    chart->addAxis(priceAxis, Qt::AlignLeft);
    auto* bidAxis = new QValueAxis;
    bidAxis->setLabelFormat(QStringLiteral("%.0f"));
    bidAxis->setTitleText(qs(history_ui_text::kChartBids));
    chart->addAxis(bidAxis, Qt::AlignRight);

    qreal first = 0;
    qreal last = 1;
    qreal lowPrice = 0;
    qreal highPrice = 0;
    qreal highBids = 0;
    if (!prices.isEmpty()) {
        first = prices.front().x();
        last = prices.back().x();
        const auto [lo, hi] = std::minmax_element(
            prices.begin(), prices.end(), [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
        lowPrice = lo->y();
        highPrice = hi->y();
    }
    for (const QPointF& p : bids)
        highBids = std::max(highBids, p.y());
    if (ceiling)
        highPrice = std::max(highPrice, static_cast<qreal>(*ceiling));
    if (history.endedAt)
        last = std::max(last, msOf(*history.endedAt));
    if (last <= first)
        last = first + 60'000; // a single sighting still spans a minute

    const auto addLine = [&](QLineSeries* series, const QList<QPointF>& points, QValueAxis* axis) {
        series->replace(points);
        chart->addSeries(series);
        series->attachAxis(time);
        series->attachAxis(axis);
    };

    auto* priceLine = new QLineSeries;
    priceLine->setName(qs(history_ui_text::kChartPrice));
    priceLine->setPen(QPen(QColor(0x1f, 0x5f, 0xbf), 2));
    addLine(priceLine, prices, priceAxis);

    auto* bidLine = new QLineSeries;
    bidLine->setName(qs(history_ui_text::kChartBids));
    bidLine->setPen(QPen(QColor(0x3f, 0x9f, 0x3f), 1.5, Qt::DashLine));
    addLine(bidLine, bids, bidAxis);

    if (ceiling) {
        auto* level = new QLineSeries;
        level->setName(qs(history_ui_text::kChartCeiling));
        level->setPen(QPen(QColor(0xcf, 0x2f, 0x2f), 1.5, Qt::DotLine));
        const qreal y = static_cast<qreal>(*ceiling);
        addLine(level, {QPointF(first, y), QPointF(last, y)}, priceAxis);
    }
    if (history.endedAt) {
        auto* end = new QScatterSeries;
        end->setName(qs(history_ui_text::kChartEnd));
        end->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
        end->setMarkerSize(10);
        end->setColor(QColor(0x20, 0x20, 0x20));
        const qreal y = prices.isEmpty() ? 0 : prices.back().y();
        chart->addSeries(end);
        end->append(msOf(*history.endedAt), y);
        end->attachAxis(time);
        end->attachAxis(priceAxis);
    }

    time->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first)),
                   QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last)));
    fitAxis(*priceAxis, lowPrice, highPrice);
    fitAxis(*bidAxis, 0, std::max<qreal>(highBids, 1));
    return chart;
}

} // namespace pelimo
