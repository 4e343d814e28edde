#pragma once

#include "listing/ItemPageOrigin.h"
#include "xmlclient/ItemInfo.h"

#include <cstdint>
#include <string>

namespace pelimo {

// Tray images of the main frame: normal, and while a watched listing is in alarm.
inline constexpr int32_t kTrayIconNormal = 128;
inline constexpr int32_t kTrayIconAlarm = 150;

// What the watch list needs from the windows around it: the form view's status line, the
// bottom pane's item pages, the search tabs' watched marks, and the main frame's tray,
// status bar and exit handshake; its alarms go to the notifier instead. The program's panes
// implement it; tests record the calls.
class WatchListHost {
public:
    virtual ~WatchListHost() = default;

    virtual void setStatusLine(const std::string& sjis) = 0;
    virtual void showItem(int32_t origin, const ItemInfo& item) = 0;
    virtual void refreshAlertItem(const ItemInfo& item) = 0;
    virtual void unmarkItem(const std::string& itemNo) = 0;
    virtual void setTrayIcon(int32_t iconId) = 0;
    // A notice about the watch list file for the main frame's status bar, which exists while
    // the file is loaded (the form view's status line is made later).
    virtual void showFileNotice(const std::string& sjis) = 0;
    // Tells the main frame that the watch list has stopped and may be destroyed. Must not
    // destroy the list from inside the call (the main frame is told by a posted message).
    virtual void watchListClosed() = 0;
};

} // namespace pelimo
