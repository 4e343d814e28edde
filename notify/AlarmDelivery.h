#pragma once

#include "notify/AlarmNotifier.h"
#include "notify/QuietHold.h"
#include "notify/quiet/QuietHours.h"
#include "settings/EnvSettings.h"

#include <functional>
#include <memory>
#include <string>

namespace pelimo {

namespace platform {
class EventTimer;
class WorkQueue;
} // namespace platform

class DesktopAlerts;

// The program's notifier: which ways an alarm is told is read from the settings at each call;
// the alert shows on the desktop at once, and the alert mail and then the push of each batch
// go on the work queue, batch after batch, each transfer within its usual bounds. In the
// user's quiet period alarms are held (remaining-time ones too, if the user says so) and told
// as one summary when it ends, found by a timer of the event loop.
class AlarmDelivery final : public AlarmNotifier {
public:
    // Takes the status texts of the transfers (Shift-JIS) on the queue's thread, in order; may
    // be called after the notifier has gone, until the queue is finished.
    using StatusPost = std::function<void(const std::string& sjis)>;
    // The item page a push opens, for an item number.
    using PageAddress = std::function<std::string(const std::string& itemNo)>;

    // settings are read at each call and outlive the notifier, as do desktop and queue. The
    // clock tells the quiet period's local time (injectable for tests).
    AlarmDelivery(const EnvSettings& settings, DesktopAlerts& desktop, platform::WorkQueue& queue,
                  StatusPost showStatus, PageAddress pageAddress,
                  QuietHours::Clock clock = QuietHours::systemClock);
    ~AlarmDelivery() override;

    void showAlert(std::string_view titleSjis, const std::string& textSjis, const ItemInfo& first,
                   int32_t count, AlarmKind kind) override;
    void sendAlarms(const AlarmBatch& alarms) override;

    // Tells what the quiet period held if it is over now (or was switched off); otherwise keeps
    // holding. The timer calls it at the period's end; the settings dialog may call it after a
    // change.
    void releaseIfOver();
    bool holdsAlarms() const { return !held.empty(); }

private:
    // Reads the period from the settings; true when an alarm of the kind is held now.
    bool holding(AlarmKind kind);
    void armTimer();
    void send(const std::string& titleSjis, const std::string& text, const std::string& mailText,
              const std::string& firstItemNo, const std::string& firstPicture);

    const EnvSettings& settings;
    DesktopAlerts& desktop;
    platform::WorkQueue& queue;
    StatusPost showStatus;
    PageAddress pageAddress;
    QuietHours quiet;
    QuietHold held;
    std::unique_ptr<platform::EventTimer> periodEnd;
};

} // namespace pelimo
