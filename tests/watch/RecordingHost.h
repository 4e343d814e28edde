#pragma once

#include "watch/WatchListHost.h"

#include <functional>
#include <string>
#include <vector>

namespace pelimo::test {

// The windows around the watch list as a test sees them: every call is recorded, and a
// test can act when the status line changes (as a user would while a cycle runs).
class RecordingHost final : public WatchListHost {
public:
    void setStatusLine(const std::string& sjis) override
    {
        statusLines.push_back(sjis);
        if (onStatus)
            onStatus(sjis);
    }
    void showItem(int32_t origin, const ItemInfo& item) override { shown.push_back({origin, item}); }
    void refreshAlertItem(const ItemInfo& item) override { refreshed.push_back(item); }
    void unmarkItem(const std::string& itemNo) override { unmarked.push_back(itemNo); }
    void setTrayIcon(int32_t iconId) override { trayIcons.push_back(iconId); }
    void showFileNotice(const std::string& sjis) override { fileNotices.push_back(sjis); }
    void watchListClosed() override { ++closed; }

    std::vector<std::string> statusLines;
    std::vector<std::pair<int32_t, ItemInfo>> shown;
    std::vector<ItemInfo> refreshed;
    std::vector<std::string> unmarked;
    std::vector<int32_t> trayIcons;
    std::vector<std::string> fileNotices;
    int closed = 0;
    std::function<void(const std::string&)> onStatus;
};

} // namespace pelimo::test
