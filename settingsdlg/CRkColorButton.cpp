#include "settingsdlg/CRkColorButton.h"

#include "listing/QtColour.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace pelimo {

namespace {

std::optional<std::optional<QColor>> nextPick;

} // namespace

CRkColorButton::CRkColorButton(QWidget* parent) : QPushButton(parent)
{
    connect(this, &QPushButton::clicked, this, &CRkColorButton::pick);
}

void CRkColorButton::setColour(ColourRef colour)
{
    current = colour & 0x00ffffff;
    repaint();
}

void CRkColorButton::setNextPickForTest(std::optional<QColor> pick)
{
    nextPick = pick;
}

void CRkColorButton::pick()
{
    QColor chosen;
    if (nextPick) {
        chosen = nextPick->value_or(QColor());
        nextPick.reset();
    } else {
        // The picker opens on white, not on the current colour.
        chosen = QColorDialog::getColor(Qt::white, this);
    }
    if (!chosen.isValid())
        return;
    setColour(toColourRef(chosen));
    emit colourPicked(current);
}

void CRkColorButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    QColor swatch = toQColor(current);
    if (!isEnabled()) {
        // A disabled button shows its colour washed out, as a greyed image would.
        const QColor window = palette().color(QPalette::Window);
        swatch = QColor((swatch.red() + window.red()) / 2, (swatch.green() + window.green()) / 2,
                        (swatch.blue() + window.blue()) / 2);
    }
    const QRect face = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    painter.fillRect(face, swatch);
}

} // namespace pelimo
