#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace pelimo::platform {

// The one crossing between the system's Shift-JIS strings and Qt's text, used at the widget
// boundary only.
QString toQString(std::string_view sjis);
std::string fromQString(const QString& text);

} // namespace pelimo::platform
