#include "history/ui/SparklineDelegate.h"

#include "HistoryUiTexts.h"
#include "platform/text/TextFill.h"

#include <QApplication>
#include <QPainter>
#include <algorithm>

namespace pelimo {
namespace {

// Room left free inside the cell, so the line never touches the grid.
constexpr qreal kInset = 3.0;

std::string yen(int64_t amount)
{
    return std::to_string(amount);
}

} // namespace

SparklineDelegate::SparklineDelegate(Lookup l, Styler s, QObject* parent)
    : QStyledItemDelegate(parent), lookup(std::move(l)), styler(std::move(s))
{}

void SparklineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const
{
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    if (styler)
        styler(cell, index);
    cell.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    const Sparkline* line = lookup ? lookup(index) : nullptr;
    if (line == nullptr || line->points.empty())
        return;
    const QRectF area = QRectF(option.rect).adjusted(kInset, kInset, -kInset, -kInset);
    if (area.width() < 2 || area.height() < 2)
        return;
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const QColor ink =
        selected ? cell.palette.color(QPalette::HighlightedText) : cell.palette.color(QPalette::Text);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(ink, 1.2));
    painter->drawPolyline(sparklinePolygon(*line, area));
    painter->restore();
}

QPolygonF sparklinePolygon(const Sparkline& line, const QRectF& area)
{
    QPolygonF polygon;
    if (line.points.empty())
        return polygon;
    const int64_t low = line.lowest.value_or(line.points.front().price);
    const int64_t high = line.highest.value_or(line.points.front().price);
    const int64_t t0 = line.points.front().at.time_since_epoch().count();
    const int64_t t1 = line.points.back().at.time_since_epoch().count();
    const auto xOf = [&](int64_t t) {
        return t1 > t0 ? area.left() + area.width() * static_cast<qreal>(t - t0) / static_cast<qreal>(t1 - t0)
                       : area.left();
    };
    const auto yOf = [&](int64_t price) {
        if (high <= low)
            return area.center().y();
        const qreal share =
            static_cast<qreal>(std::clamp(price, low, high) - low) / static_cast<qreal>(high - low);
        return area.bottom() - area.height() * share;
    };
    // A step line: each price holds until the next one.
    polygon.reserve(static_cast<qsizetype>(line.points.size() * 2));
    for (size_t i = 0; i < line.points.size(); ++i) {
        const qreal x = xOf(line.points[i].at.time_since_epoch().count());
        const qreal y = yOf(line.points[i].price);
        if (i > 0)
            polygon << QPointF(x, polygon.back().y());
        polygon << QPointF(x, y);
    }
    // A single price, or all at one moment, runs across the whole cell.
    if (polygon.back().x() < area.right())
        polygon << QPointF(area.right(), polygon.back().y());
    if (polygon.size() == 1)
        polygon.prepend(QPointF(area.left(), polygon.front().y()));
    return polygon;
}

std::string sparklineTip(const Sparkline& line)
{
    if (!line.first || !line.lowest || !line.highest)
        return {};
    return fillText(history_ui_text::kTrendTip, {yen(*line.first), yen(*line.lowest), yen(*line.highest),
                                                 static_cast<long long>(line.changes)});
}

} // namespace pelimo
