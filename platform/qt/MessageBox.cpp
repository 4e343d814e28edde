#include "settingsdlg/MessageBox.h"

#include <QMessageBox>

namespace pelimo {

namespace {

bool recording = false;
QStringList recorded;

} // namespace

void MessageBox::information(QWidget* parent, const QString& text)
{
    if (recording) {
        recorded.append(text);
        return;
    }
    QMessageBox::information(parent, QString(), text);
}

void MessageBox::setRecordingForTest(bool on)
{
    recording = on;
    recorded.clear();
}

QStringList MessageBox::takeRecordedForTest()
{
    QStringList out;
    out.swap(recorded);
    return out;
}

} // namespace pelimo
