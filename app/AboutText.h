#pragma once

#include <QString>

namespace pelimo {

// What the about box says: the program's name and version, the data folder in use and the
// libraries it runs on with their versions, as loaded.
QString aboutText();

} // namespace pelimo
