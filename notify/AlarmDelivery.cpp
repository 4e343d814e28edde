#include "notify/AlarmDelivery.h"

#include "NotifyTexts.h"
#include "notify/AlertMail.h"
#include "notify/DesktopAlerts.h"
#include "notify/PushNotice.h"
#include "platform/WorkQueue.h"

#include <optional>

namespace pelimo {
namespace {

// One batch's transfers as the queue runs them: everything they need is copied in, since the
// settings may change and the window go while they run.
struct Transfers {
    std::optional<MailSettings> mail;
    std::optional<std::string> pushUrl;
    std::string titleSjis;
    std::string clickUrl;
    std::string pictureUrl;
    std::string text;
};

void run(const Transfers& t, const AlarmDelivery::StatusPost& show, const platform::WaitInterrupt& interrupt)
{
    if (t.mail) {
        MailTimeouts bounds;
        bounds.interrupt = &interrupt;
        SendAlertMail(*t.mail, t.text, show, bounds);
    }
    if (t.pushUrl) {
        // The alarms stay collected whatever happens to the push; a failure is only shown.
        const std::optional<PushNotice> notice =
            buildPushNotice(*t.pushUrl, t.titleSjis, t.clickUrl, t.text, t.pictureUrl);
        const PushOutcome outcome = notice ? sendPushNotice(*notice, kPushTimeLimit, &interrupt)
                                           : PushOutcome{false, std::string(notify_text::kPushBadAddress)};
        if (!outcome.sent)
            show(outcome.reason);
    }
}

} // namespace

AlarmDelivery::AlarmDelivery(const EnvSettings& s, DesktopAlerts& d, platform::WorkQueue& q,
                             StatusPost status, PageAddress page)
    : settings(s), desktop(d), queue(q), showStatus(std::move(status)), pageAddress(std::move(page))
{}

void AlarmDelivery::showAlert(std::string_view titleSjis, const std::string& textSjis, const ItemInfo& first)
{
    if (!textSjis.empty() && isOn(settings.alarmBalloon))
        desktop.showAlert(textSjis, first, titleSjis);
}

void AlarmDelivery::sendAlarms(const AlarmBatch& alarms)
{
    if (alarms.text.empty())
        return;
    Transfers t;
    if (isOn(settings.alarmMail))
        t.mail = mailSettingsFrom(settings);
    if (isOn(settings.ext.pushEnabled) && !settings.ext.pushUrl.empty()) {
        t.pushUrl = settings.ext.pushUrl;
        if (!alarms.firstItemNo.empty() && pageAddress)
            t.clickUrl = pageAddress(alarms.firstItemNo);
        t.pictureUrl = alarms.firstPicture;
    }
    if (!t.mail && !t.pushUrl)
        return;
    t.titleSjis = alarms.titleSjis;
    t.text = alarms.text;
    queue.post([t = std::move(t), show = showStatus](const platform::WaitInterrupt& interrupt) {
        run(t, show, interrupt);
    });
}

} // namespace pelimo
