#pragma once

#include "notify/AlarmNotifier.h"
#include "settings/EnvSettings.h"

#include <functional>
#include <string>

namespace pelimo {

namespace platform {
class WorkQueue;
}

class DesktopAlerts;

// The program's notifier: which ways an alarm is told is read from the settings at each call;
// the alert shows on the desktop at once, and the alert mail and then the push of each batch
// go on the work queue, batch after batch, each transfer within its usual bounds.
class AlarmDelivery final : public AlarmNotifier {
public:
    // Takes the status texts of the transfers (Shift-JIS) on the queue's thread, in order; may
    // be called after the notifier has gone, until the queue is finished.
    using StatusPost = std::function<void(const std::string& sjis)>;
    // The item page a push opens, for an item number.
    using PageAddress = std::function<std::string(const std::string& itemNo)>;

    // settings are read at each call and outlive the notifier, as do desktop and queue.
    AlarmDelivery(const EnvSettings& settings, DesktopAlerts& desktop, platform::WorkQueue& queue,
                  StatusPost showStatus, PageAddress pageAddress);

    void showAlert(std::string_view titleSjis, const std::string& textSjis, const ItemInfo& first) override;
    void sendAlarms(const AlarmBatch& alarms) override;

private:
    const EnvSettings& settings;
    DesktopAlerts& desktop;
    platform::WorkQueue& queue;
    StatusPost showStatus;
    PageAddress pageAddress;
};

} // namespace pelimo
