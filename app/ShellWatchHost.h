#pragma once

#include "watch/WatchListHost.h"

namespace pelimo {

class CMainFrame;

// What the watch list reaches through the windows of the shell: the panes' status line and
// item pages, the search tabs' marks, and the main frame's tray, status bar and exit handshake.
class ShellWatchHost final : public WatchListHost {
public:
    explicit ShellWatchHost(CMainFrame& frame) : frame(frame) {}

    void setStatusLine(const std::string& sjis) override;
    void showItem(int32_t origin, const ItemInfo& item) override;
    void refreshAlertItem(const ItemInfo& item) override;
    void unmarkItem(const std::string& itemNo) override;
    void setTrayIcon(int32_t iconId) override;
    void showFileNotice(const std::string& sjis) override;
    void watchListClosed() override;

private:
    CMainFrame& frame;
};

} // namespace pelimo
