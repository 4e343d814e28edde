#include "platform/qt/MessageBox.h"

#include <QMessageBox>
#include <QPixmap>

namespace pelimo::platform {

namespace {

bool recording = false;
QString boxTitle;
QList<MessageBox::Shown> recorded;

} // namespace

void MessageBox::setTitle(const QString& title)
{
    boxTitle = title;
}

void MessageBox::information(QWidget* parent, const QString& text)
{
    if (recording) {
        recorded.append({boxTitle, text, QImage()});
        return;
    }
    QMessageBox::information(parent, boxTitle, text);
}

void MessageBox::about(QWidget* parent, const QString& title, const QString& text, const QPixmap& icon)
{
    if (recording) {
        recorded.append({title, text, icon.toImage()});
        return;
    }
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setIconPixmap(icon);
    box.setText(text);
    box.exec();
}

void MessageBox::setRecordingForTest(bool on)
{
    recording = on;
    recorded.clear();
}

QStringList MessageBox::takeRecordedForTest()
{
    QStringList out;
    for (const Shown& box : takeRecordedBoxesForTest()) {
        out.append(box.text);
    }
    return out;
}

QList<MessageBox::Shown> MessageBox::takeRecordedBoxesForTest()
{
    QList<Shown> out;
    out.swap(recorded);
    return out;
}

} // namespace pelimo::platform
