#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace pelimo {

// The dialog's modal message boxes. Tests switch on recording, which keeps each text instead
// of blocking on a box nobody can click.
class MessageBox {
public:
    static void information(QWidget* parent, const QString& text);

    static void setRecordingForTest(bool on);
    static QStringList takeRecordedForTest();
};

} // namespace pelimo
