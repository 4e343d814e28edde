#include "notify/AlarmDelivery.h"

#include "NotifyTexts.h"
#include "notify/AlertMail.h"
#include "notify/DesktopAlerts.h"
#include "notify/PushNotice.h"
#include "platform/EventLoop.h"
#include "platform/WorkQueue.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace pelimo {
namespace {

// The timer looks again at least this often while alarms are held: a period switched off or
// moved in the settings, or a clock set or resumed from sleep, is noticed within it.
constexpr std::chrono::seconds kLongestHoldCheck{60};

// One batch's transfers as the queue runs them: everything they need is copied in, since the
// settings may change and the window go while they run.
struct Transfers {
    std::optional<MailSettings> mail;
    std::optional<std::string> pushUrl;
    std::string titleSjis;
    std::string clickUrl;
    std::string pictureUrl;
    std::string text;
    std::string mailText;
};

void run(const Transfers& t, const AlarmDelivery::StatusPost& show, const platform::WaitInterrupt& interrupt)
{
    if (t.mail) {
        MailTimeouts bounds;
        bounds.interrupt = &interrupt;
        SendAlertMail(*t.mail, t.mailText, show, bounds);
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
                             StatusPost status, PageAddress page, QuietHours::Clock clock)
    : settings(s), desktop(d), queue(q), showStatus(std::move(status)), pageAddress(std::move(page)),
      quiet({}, std::move(clock))
{}

AlarmDelivery::~AlarmDelivery() = default;

bool AlarmDelivery::holding(AlarmKind kind)
{
    const ExtSettings& e = settings.ext;
    quiet.setSettings(readQuietHours(e.quietEnabled, e.quietStart, e.quietEnd, e.quietNearEndGoOut).settings);
    // What was held goes before anything told after the period, in the order it came.
    if (!quiet.isQuiet())
        releaseIfOver();
    return quiet.holds(kind);
}

void AlarmDelivery::showAlert(std::string_view titleSjis, const std::string& textSjis, const ItemInfo& first,
                              int32_t count, AlarmKind kind)
{
    if (textSjis.empty() || !isOn(settings.alarmBalloon))
        return;
    if (holding(kind)) {
        held.holdAlert(first, count);
        armTimer();
        return;
    }
    desktop.showAlert(textSjis, first, titleSjis);
}

void AlarmDelivery::sendAlarms(const AlarmBatch& alarms)
{
    if (alarms.text.empty())
        return;
    if (holding(alarms.kind)) {
        held.holdBatch(alarms.text, alarms.firstItemNo, alarms.firstPicture, alarms.count);
        armTimer();
        return;
    }
    send(alarms.titleSjis, alarms.text, alarms.text, alarms.firstItemNo, alarms.firstPicture);
}

void AlarmDelivery::send(const std::string& titleSjis, const std::string& text, const std::string& mailText,
                         const std::string& firstItemNo, const std::string& firstPicture)
{
    Transfers t;
    if (isOn(settings.alarmMail))
        t.mail = mailSettingsFrom(settings);
    if (isOn(settings.ext.pushEnabled) && !settings.ext.pushUrl.empty()) {
        t.pushUrl = settings.ext.pushUrl;
        if (!firstItemNo.empty() && pageAddress)
            t.clickUrl = pageAddress(firstItemNo);
        t.pictureUrl = firstPicture;
    }
    if (!t.mail && !t.pushUrl)
        return;
    t.titleSjis = titleSjis;
    t.text = text;
    t.mailText = mailText;
    queue.post([t = std::move(t), show = showStatus](const platform::WaitInterrupt& interrupt) {
        run(t, show, interrupt);
    });
}

void AlarmDelivery::armTimer()
{
    if (!periodEnd)
        periodEnd = platform::eventLoop().createTimer([this] { releaseIfOver(); });
    const std::chrono::seconds left = quiet.untilPeriodEnd().value_or(std::chrono::seconds(1));
    periodEnd->start(std::min(left, kLongestHoldCheck));
}

void AlarmDelivery::releaseIfOver()
{
    if (held.empty())
        return;
    const ExtSettings& e = settings.ext;
    quiet.setSettings(readQuietHours(e.quietEnabled, e.quietStart, e.quietEnd, e.quietNearEndGoOut).settings);
    if (quiet.isQuiet())
        return armTimer();
    if (periodEnd)
        periodEnd->stop();
    const QuietHold done = std::move(held);
    held = QuietHold{};
    const std::string title = done.title();
    if (done.hasAlertHeld() && isOn(settings.alarmBalloon))
        desktop.showAlert(done.alertText(), done.firstAlerted(), title);
    if (!done.batchText().empty()) {
        // The mail's subject is the alert mail's own: the summary's title heads its body.
        send(title, done.batchText(), title + "\n\n" + done.batchText(), done.firstBatchItemNo(),
             done.firstBatchPicture());
    }
}

} // namespace pelimo
