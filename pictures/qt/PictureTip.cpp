#include "pictures/qt/PictureTip.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>

namespace pelimo::pictures {

PictureTip::PictureTip(QWidget* owner)
    : QFrame(owner, Qt::ToolTip | Qt::BypassGraphicsProxyWidget), picture(new QLabel(this)),
      text(new QLabel(this))
{
    setObjectName(QStringLiteral("pictureTip"));
    setFrameShape(QFrame::Box);
    setForegroundRole(QPalette::ToolTipText);
    setBackgroundRole(QPalette::ToolTipBase);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addWidget(picture, 0, Qt::AlignHCenter);
    layout->addWidget(text);
    picture->hide();
    text->setTextFormat(Qt::PlainText);
    text->setForegroundRole(QPalette::ToolTipText);
}

void PictureTip::setText(const QString& value)
{
    text->setText(value);
    text->setVisible(!value.isEmpty());
    picture->clear();
    picture->hide();
    adjustSize();
}

void PictureTip::setPicture(const QImage& image)
{
    if (image.isNull())
        return;
    picture->setPixmap(QPixmap::fromImage(image));
    picture->show();
    adjustSize();
    if (isVisible())
        showNear(anchor);
}

void PictureTip::showNear(const QPoint& globalPos)
{
    anchor = globalPos;
    QPoint at = globalPos + QPoint(2, 16);
    if (const QScreen* screen = QGuiApplication::screenAt(globalPos)) {
        const QRect area = screen->availableGeometry();
        // Below the pointer when it fits, above it otherwise; never past the screen's sides.
        if (at.y() + height() > area.bottom())
            at.setY(globalPos.y() - height() - 4);
        at.setX(std::min(at.x(), area.right() - width()));
        at.setX(std::max(at.x(), area.left()));
        at.setY(std::max(at.y(), area.top()));
    }
    move(at);
    show();
    raise();
}

} // namespace pelimo::pictures
