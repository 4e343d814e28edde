// The program's notifier against real peers: the settings choose which ways an alarm is told,
// each batch's mail goes before its push with their status texts in order, and a peer that
// never answers holds neither the caller nor, beyond its grace, the exit.
#include "notify/AlarmDelivery.h"

#include "NotifyTestTexts.h"
#include "NotifyTexts.h"
#include "notify/DesktopAlerts.h"
#include "notify/PushNotice.h"
#include "platform/EventLoop.h"
#include "platform/WorkQueue.h"
#include "tests/support/LoopbackListener.h"
#include "tests/support/MailSettings.h"
#include "tests/support/PushReceiver.h"
#include "tests/support/SmtpSink.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pelimo {
namespace {

using namespace std::chrono_literals;
using namespace notify_test_text;

class RecordingDesktop final : public DesktopAlerts {
public:
    void showAlert(const std::string& sjis, const ItemInfo& first, std::string_view titleSjis) override
    {
        shown.push_back(std::string(titleSjis) + "|" + sjis + "|" + first.ItemNo);
    }
    std::vector<std::string> shown;
};

// The status texts as the queue's thread hands them over.
class StatusLog {
public:
    AlarmDelivery::StatusPost sink()
    {
        return [this](const std::string& text) {
            const std::lock_guard lock(mutex);
            texts.push_back(text);
        };
    }
    std::vector<std::string> all()
    {
        const std::lock_guard lock(mutex);
        return texts;
    }

private:
    std::mutex mutex;
    std::vector<std::string> texts;
};

std::string pageOf(const std::string& itemNo)
{
    return "http://127.0.0.1:1/item/" + itemNo;
}

std::string closedPushUrl()
{
    return "http://127.0.0.1:" + std::to_string(test::freeLoopbackPort()) + "/alerts";
}

ItemInfo listing(const std::string& itemNo)
{
    ItemInfo item;
    item.ItemNo = itemNo;
    return item;
}

const AlarmBatch kBatch{kAlarmsTitle,     std::string(kAlarmLineCamera) + "\n", "x1", 1,
                        AlarmKind::other, "http://127.0.0.1:1/img/x1.jpg"};

TEST(AlarmDelivery, TheSettingsChooseWhichWaysAnAlarmIsTold)
{
    test::SmtpSink smtp;
    ASSERT_EQ(smtp.startError(), "");
    test::PushReceiver receiver;
    struct Case {
        const char* name;
        int balloon, mail, push;
        const char* pushUrl; // nullptr: the receiver's
        size_t alerts, mails, pushes;
    };
    const Case cases[] = {
        {"all off", 0, 0, 0, nullptr, 0, 0, 0},
        {"balloon only", 1, 0, 0, nullptr, 1, 0, 0},
        {"mail only", 0, 1, 0, nullptr, 0, 1, 0},
        {"push only", 0, 0, 1, nullptr, 0, 0, 1},
        {"push on without an address", 0, 0, 1, "", 0, 0, 0},
        {"all on", 1, 1, 1, nullptr, 1, 1, 1},
    };
    size_t mails = 0;
    size_t pushes = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EnvSettings settings;
        test::mailThrough(settings, smtp.port());
        settings.alarmBalloon = c.balloon;
        settings.alarmMail = c.mail;
        settings.ext.pushEnabled = c.push;
        settings.ext.pushUrl = c.pushUrl ? c.pushUrl : receiver.url();
        RecordingDesktop desktop;
        StatusLog status;
        platform::WorkQueue queue;
        AlarmDelivery delivery(settings, desktop, queue, status.sink(), pageOf);

        delivery.showAlert(kAlarmsTitle, kAlarmLineCamera, listing("x1"), 1, AlarmKind::other);
        delivery.sendAlarms(kBatch);
        // A batch without alarms tells nothing.
        delivery.showAlert(kAlarmsTitle, "", listing(""), 0, AlarmKind::other);
        delivery.sendAlarms(AlarmBatch{kAlarmsTitle, "", "", 0, AlarmKind::other, ""});
        ASSERT_TRUE(queue.waitIdle(60s));

        EXPECT_EQ(desktop.shown.size(), c.alerts);
        if (c.alerts > 0) {
            EXPECT_EQ(desktop.shown[0], std::string(kAlarmsTitle) + "|" + kAlarmLineCamera + "|x1");
        }
        mails += c.mails;
        pushes += c.pushes;
        EXPECT_EQ(smtp.messages().size(), mails);
        ASSERT_EQ(receiver.requests().size(), pushes);
        if (c.pushes > 0) {
            const std::string request = receiver.requests().back();
            EXPECT_NE(request.find("\r\nClick: " + pageOf("x1") + "\r\n"), std::string::npos);
            EXPECT_NE(request.find("\r\nAttach: " + kBatch.firstPicture + "\r\n"), std::string::npos);
        }
    }
}

TEST(AlarmDelivery, EachBatchMailsBeforeItPushesAndTheTextsKeepTheirOrder)
{
    test::SmtpSink smtp;
    ASSERT_EQ(smtp.startError(), "");
    EnvSettings settings;
    test::mailThrough(settings, smtp.port());
    settings.alarmMail = 1;
    settings.ext.pushEnabled = 1;
    settings.ext.pushUrl = closedPushUrl(); // nobody listens: the push fails
    RecordingDesktop desktop;
    StatusLog status;
    platform::WorkQueue queue;
    AlarmDelivery delivery(settings, desktop, queue, status.sink(), pageOf);

    delivery.sendAlarms(kBatch);
    delivery.sendAlarms(kBatch);
    ASSERT_TRUE(queue.waitIdle(60s));

    const std::vector<std::string> texts = status.all();
    ASSERT_EQ(texts.size(), 8u);
    const std::string failed = notify_text::kPushFailed;
    const std::string failedStart = failed.substr(0, failed.find("%s"));
    for (size_t batch = 0; batch < 2; ++batch) {
        SCOPED_TRACE(batch);
        EXPECT_EQ(texts[batch * 4], "CONNECT TO SMTP");
        EXPECT_EQ(texts[batch * 4 + 1], "SEND TO user@example.test");
        EXPECT_EQ(texts[batch * 4 + 2], "");
        EXPECT_TRUE(texts[batch * 4 + 3].starts_with(failedStart)) << texts[batch * 4 + 3];
    }
    EXPECT_EQ(smtp.messages().size(), 2u);
}

// A night's quiet period that ends two seconds into the test, on a clock that runs on from
// 06:59:58 in a zone of UTC: what came in it goes as one push when it ends, found by the
// timer alone; a remaining-time alarm goes at once.
TEST(AlarmDelivery, AQuietPeriodHoldsAlarmsAndTellsThemInOneSummaryWhenItEnds)
{
    const char* zone = std::getenv("TZ");
    const std::string savedZone = zone ? zone : "";
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    const std::time_t realStart = std::time(nullptr);
    const std::time_t morning = 1796713198; // 2026-12-08 06:59:58 UTC
    const auto clock = [realStart, morning] {
        return morning + (std::time(nullptr) - realStart);
    };

    test::PushReceiver receiver;
    EnvSettings settings;
    settings.alarmBalloon = 1;
    settings.ext.pushEnabled = 1;
    settings.ext.pushUrl = receiver.url();
    settings.ext.quietEnabled = 1;
    settings.ext.quietStart = "22:00";
    settings.ext.quietEnd = "07:00";
    settings.ext.quietNearEndGoOut = 1;
    RecordingDesktop desktop;
    StatusLog status;
    platform::WorkQueue queue;
    AlarmDelivery delivery(settings, desktop, queue, status.sink(), pageOf, clock);

    const std::string twoLines = std::string(kAlarmLineCamera) + "\n" + kAlarmLineCamera + "\n";
    ItemInfo camera = listing("x1");
    camera.ItemName = kNameCamera;
    camera.CurrentPrice = kPriceYen1000;
    camera.RemainTime = kRemain5Min;
    delivery.showAlert(kAlarmsTitle, kAlarmLineCamera, camera, 2, AlarmKind::other);
    delivery.sendAlarms(AlarmBatch{kAlarmsTitle, twoLines, "x1", 2, AlarmKind::other, ""});
    delivery.showAlert(kAlarmsTitle, kAlarmLineCamera, listing("e1"), 1, AlarmKind::nearEnd);
    delivery.sendAlarms(AlarmBatch{kAlarmsTitle, kBatch.text, "e1", 1, AlarmKind::nearEnd, ""});
    ASSERT_TRUE(queue.waitIdle(30s));
    ASSERT_EQ(receiver.requests().size(), 1u) << "only the remaining-time alarm went";
    ASSERT_EQ(desktop.shown.size(), 1u);
    EXPECT_TRUE(delivery.holdsAlarms());

    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (delivery.holdsAlarms() && std::chrono::steady_clock::now() < deadline)
        platform::eventLoop().waitForEvents();
    EXPECT_GE(clock(), morning + 2) << "not before the period's end";
    ASSERT_FALSE(delivery.holdsAlarms());
    ASSERT_TRUE(queue.waitIdle(30s));

    const std::vector<std::string> pushes = receiver.requests();
    ASSERT_EQ(pushes.size(), 2u);
    const std::optional<PushNotice> expected =
        buildPushNotice(receiver.url(), kQuietSummaryTitle2, pageOf("x1"), twoLines);
    ASSERT_TRUE(expected);
    EXPECT_NE(pushes[1].find("\r\nTitle: " + expected->titleHeader + "\r\n"), std::string::npos) << pushes[1];
    EXPECT_TRUE(pushes[1].ends_with(expected->body)) << pushes[1];
    ASSERT_EQ(desktop.shown.size(), 2u);
    EXPECT_TRUE(desktop.shown[1].starts_with(std::string(kQuietSummaryTitle2) + "|" + kAlarmLineCamera))
        << desktop.shown[1];
    EXPECT_TRUE(desktop.shown[1].ends_with("|x1"));

    savedZone.empty() && !zone ? ::unsetenv("TZ") : ::setenv("TZ", savedZone.c_str(), 1);
    ::tzset();
}

// Peers that take the connection and never answer: the push's and the mail's bounds are 10 s
// and 30 s, far beyond what the caller or the exit may wait.
TEST(AlarmDelivery, SilentPeersHoldNeitherTheCallerNorTheExitBeyondItsGrace)
{
    struct Case {
        const char* name;
        bool mail;
    };
    for (const Case c : {Case{"silent SMTP server", true}, Case{"silent push receiver", false}}) {
        SCOPED_TRACE(c.name);
        test::LoopbackListener silent;
        ASSERT_GT(silent.port(), 0);
        EnvSettings settings;
        test::mailThrough(settings, silent.port());
        settings.alarmMail = c.mail ? 1 : 0;
        settings.ext.pushEnabled = c.mail ? 0 : 1;
        settings.ext.pushUrl = silent.baseUrl() + "/alerts";
        RecordingDesktop desktop;
        StatusLog status;
        platform::WorkQueue queue;
        AlarmDelivery delivery(settings, desktop, queue, status.sink(), pageOf);

        delivery.sendAlarms(kBatch);
        // The call has returned and the transfer is under way, held by the peer.
        const std::unique_ptr<test::LoopbackPeer> peer = silent.accept(30s);
        ASSERT_TRUE(peer);
        EXPECT_FALSE(queue.waitIdle(200ms)) << "the peer's silence holds the transfer, not the caller";

        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(queue.finish(500ms)) << "the held batch did not go";
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_GE(took, 300ms) << "the grace was given";
        EXPECT_LT(took, 5s) << "the transfer was ended, not waited for";
        // Ended, not left behind: the connection closes now, not at the peer's bound.
        const auto closing = std::chrono::steady_clock::now();
        peer->drain(20s);
        EXPECT_LT(std::chrono::steady_clock::now() - closing, 5s);
    }
}

} // namespace
} // namespace pelimo
