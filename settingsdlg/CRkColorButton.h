#pragma once

#include "settings/EnvSettings.h"

#include <QColor>
#include <QPushButton>
#include <optional>

namespace pelimo {

// A push button whose face is a solid swatch of one colour; a click lets the user pick a new
// one from the system colour picker.
class CRkColorButton final : public QPushButton {
    Q_OBJECT

public:
    explicit CRkColorButton(QWidget* parent = nullptr);

    ColourRef colour() const { return current; }
    // Fills the swatch with the colour and repaints the button at once.
    void setColour(ColourRef colour);

    // The next click takes this answer instead of opening the picker: a colour confirms it,
    // nothing stands for the user cancelling.
    static void setNextPickForTest(std::optional<QColor> pick);

signals:
    // The user confirmed a colour in the picker; the swatch already shows it.
    void colourPicked(pelimo::ColourRef colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void pick();

    ColourRef current = 0;
};

} // namespace pelimo
