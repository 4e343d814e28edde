#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

class QPixmap;
class QWidget;

namespace pelimo::platform {

// The program's modal message boxes. Tests switch on recording, which keeps each box instead
// of blocking on a box nobody can click.
class MessageBox {
public:
    // What a box showed, as recorded.
    struct Shown {
        QString title;
        QString text;
        QImage icon;
    };

    // The title every information box carries: the program's name, set once at start.
    static void setTitle(const QString& title);
    static void information(QWidget* parent, const QString& text);
    // A box with the program's own image in place of a standard icon.
    static void about(QWidget* parent, const QString& title, const QString& text, const QPixmap& icon);

    static void setRecordingForTest(bool on);
    // The recorded boxes, oldest first, and forgets them; the first form gives their texts.
    static QStringList takeRecordedForTest();
    static QList<Shown> takeRecordedBoxesForTest();
};

} // namespace pelimo::platform
