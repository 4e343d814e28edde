#pragma once

#include "xmlclient/ItemInfo.h"

#include <string>
#include <string_view>

namespace pelimo {

// The desktop's side of an alert: the tray's balloon, a desktop notification or the status
// bar, whichever the desktop offers. The shell implements it; tests record the calls.
class DesktopAlerts {
public:
    virtual ~DesktopAlerts() = default;

    // The alert text under its title (both Shift-JIS); first is the listing it names.
    virtual void showAlert(const std::string& sjis, const ItemInfo& first, std::string_view titleSjis) = 0;
};

} // namespace pelimo
