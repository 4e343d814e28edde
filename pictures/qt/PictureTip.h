#pragma once

#include <QFrame>
#include <QImage>
#include <QString>

class QLabel;

namespace pelimo::pictures {

// A tooltip of a listing: its text, and its picture above it once the picture is there.
class PictureTip final : public QFrame {
public:
    explicit PictureTip(QWidget* owner);

    void setText(const QString& text);
    // A null image leaves the text alone.
    void setPicture(const QImage& image);
    // Near the pointer and inside the screen it is on.
    void showNear(const QPoint& globalPos);

private:
    QLabel* picture;
    QLabel* text;
    QPoint anchor;
};

} // namespace pelimo::pictures
