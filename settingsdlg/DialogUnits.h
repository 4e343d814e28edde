#pragma once

#include <QFont>
#include <QRect>

class QWidget;

namespace pelimo {

// The dialog's typeface: the classic Japanese UI face where it is installed, else a Japanese
// sans that ships with the desktop.
QFont dialogFont();

// Converts dialog-unit rectangles into pixels from a font's metrics: a horizontal unit is a
// quarter of the average Latin letter's width, a vertical unit an eighth of the character
// height. The settings dialog and the command bar both measure with it.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int x(int units) const;
    int y(int units) const;
    QRect rect(int left, int top, int width, int height) const;
    // Places a child widget at a dialog-unit rectangle of its parent.
    void place(QWidget* widget, int left, int top, int width, int height) const;

private:
    int charWidth;
    int charHeight;
};

} // namespace pelimo
