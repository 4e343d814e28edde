#include "settingsdlg/DialogUnits.h"

#include "platform/qt/QtText.h"
#include "settingsdlg_texts.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QWidget>

namespace pelimo {

QFont dialogFont()
{
    const QString preferred = platform::toQString(settingsdlg_texts::kPreferredFont);
    const QString family =
        QFontDatabase::hasFamily(preferred) ? preferred : QStringLiteral("Noto Sans CJK JP");
    QFont font(family);
    font.setPointSize(9);
    return font;
}

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    // The average width of the Latin letters, as dialog units have always measured it; a CJK
    // face's overall average counts its full-width glyphs and would stretch every control to
    // about twice its width.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    charWidth = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    charHeight = metrics.height();
}

int DialogUnits::x(int units) const
{
    return units * charWidth / 4;
}

int DialogUnits::y(int units) const
{
    return units * charHeight / 8;
}

QRect DialogUnits::rect(int left, int top, int width, int height) const
{
    return QRect(x(left), y(top), x(width), y(height));
}

void DialogUnits::place(QWidget* widget, int left, int top, int width, int height) const
{
    widget->setGeometry(rect(left, top, width, height));
}

} // namespace pelimo
