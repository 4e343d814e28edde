#pragma once

#include "settings/EnvSettings.h"

#include <QColor>

namespace pelimo {

// A colour of the settings as the widgets draw it, and back.
inline QColor toQColor(ColourRef c)
{
    return QColor(colourRed(c), colourGreen(c), colourBlue(c));
}

inline ColourRef toColourRef(const QColor& c)
{
    return makeColourRef(static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
                         static_cast<uint8_t>(c.blue()));
}

} // namespace pelimo
