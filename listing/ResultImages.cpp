#include "listing/ResultImages.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QPolygonF>
#include <array>

namespace pelimo {
namespace {

constexpr int kSize = 16;

QPixmap blankCell()
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QIcon drawBell()
{
    QPixmap pixmap = blankCell();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath body;
    body.moveTo(3, 12);
    body.cubicTo(4.5, 10.5, 4, 7, 5, 5);
    body.cubicTo(6, 2.5, 10, 2.5, 11, 5);
    body.cubicTo(12, 7, 11.5, 10.5, 13, 12);
    body.closeSubpath();
    p.setPen(QPen(QColor(120, 90, 0), 1));
    p.setBrush(QColor(240, 200, 30));
    p.drawPath(body);
    p.drawEllipse(QPointF(8, 13.5), 1.5, 1.5);
    p.drawLine(QPointF(8, 1.5), QPointF(8, 3));
    return QIcon(pixmap);
}

QIcon drawTriangle(bool up)
{
    QPixmap pixmap = blankCell();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // The outline takes the shade of the header's face so it reads as part of it.
    p.setPen(QPen(QGuiApplication::palette().color(QPalette::Dark), 1.2));
    p.setBrush(Qt::NoBrush);
    const QPolygonF triangle = up ? QPolygonF({QPointF(8, 4), QPointF(13, 12), QPointF(3, 12)})
                                  : QPolygonF({QPointF(3, 4), QPointF(13, 4), QPointF(8, 12)});
    p.drawPolygon(triangle);
    return QIcon(pixmap);
}

} // namespace

const QIcon& resultImage(int index)
{
    // A row without the bell still holds an empty image, so column 0's text starts at one x
    // in every row.
    static const std::array<QIcon, 5> images = {
        QIcon(blankCell()), drawBell(), drawTriangle(true), drawTriangle(false), QIcon(),
    };
    static const QIcon none;
    if (index < 0 || index >= static_cast<int>(images.size()))
        return none;
    return images[static_cast<size_t>(index)];
}

} // namespace pelimo
