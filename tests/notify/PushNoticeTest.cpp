#include "notify/PushNotice.h"

#include "NotifyTestTexts.h"
#include "NotifyTexts.h"
#include "platform/text/SjisText.h"
#include "tests/support/PushReceiver.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace pelimo {
namespace {

using namespace std::chrono_literals;
using namespace notify_test_text;

TEST(Push, SendsTheAlarmTextWithTitleAndClickHeaders)
{
    test::PushReceiver receiver(false);
    const std::string click = "http://127.0.0.1:1/aff/t/m/WS/pitem_GKx1";
    const PushOutcome outcome = sendPush(receiver.url(), kAlarmsTitle, click, kAlarmLineCamera);
    EXPECT_TRUE(outcome.sent) << outcome.reason;
    EXPECT_TRUE(outcome.reason.empty());
    const std::vector<std::string> requests = receiver.requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& r = requests[0];
    EXPECT_EQ(r.rfind("POST /alerts HTTP/1.1\r\n", 0), 0u) << r;
    EXPECT_NE(r.find("\r\nTitle: =?UTF-8?B?44Ki44Op44O844OI5oOF5aCx?=\r\n"), std::string::npos) << r;
    EXPECT_NE(r.find("\r\nClick: " + click + "\r\n"), std::string::npos) << r;
    const std::string body = platform::sjisToUtf8(kAlarmLineCamera);
    EXPECT_EQ(r.substr(r.find("\r\n\r\n") + 4), body);

    // The title of new listings of saved searches.
    const std::optional<PushNotice> news =
        buildPushNotice(receiver.url(), kNewListingsTitle, click, kAlarmLineCamera);
    ASSERT_TRUE(news);
    EXPECT_EQ(news->titleHeader, "=?UTF-8?B?5paw552A5oOF5aCx?=");
}

TEST(Push, AReceiverThatNeverAnswersFailsAtTheBound)
{
    test::PushReceiver receiver(true);
    const auto start = std::chrono::steady_clock::now();
    const PushOutcome outcome = sendPush(receiver.url(), kAlarmsTitle, "", kAlarmLineCamera, 300ms);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(outcome.sent);
    EXPECT_FALSE(outcome.reason.empty());
    // Slack on both sides: libcurl counts the bound on its own clock, from a moment of its
    // own, and a loaded machine stretches everything; the default bound is far beyond.
    EXPECT_GE(took, 150ms);
    EXPECT_LT(took, kPushTimeLimit / 2); // the given bound, not the default one
    EXPECT_EQ(receiver.requests().size(), 1u);
}

TEST(Push, AddressesOtherThanHttpAreRefusedWithoutARequest)
{
    test::PushReceiver receiver(false);
    const std::string port = receiver.url().substr(17, receiver.url().find('/', 17) - 17);
    for (const std::string& url :
         std::vector<std::string>{"ftp://127.0.0.1:" + port + "/x", "file:///etc/passwd", "127.0.0.1:" + port,
                                  "http://", "http://127.0.0.1:" + port + "/a b", ""}) {
        SCOPED_TRACE(url);
        const PushOutcome outcome = sendPush(url, kAlarmsTitle, "", kAlarmLineCamera, 300ms);
        EXPECT_FALSE(outcome.sent);
        EXPECT_EQ(outcome.reason, notify_text::kPushBadAddress);
    }
    EXPECT_TRUE(receiver.requests().empty());
    // A Click value that would end its header line is left out.
    const std::optional<PushNotice> notice =
        buildPushNotice(receiver.url(), kAlarmsTitle, "http://x/\r\nX-Evil: 1", "");
    ASSERT_TRUE(notice);
    EXPECT_TRUE(notice->clickHeader.empty());
}

TEST(Push, CarriesTheFirstPictureInAnAttachHeaderOnlyWhenItIsAWebAddress)
{
    test::PushReceiver receiver(false);
    const std::string picture = "http://127.0.0.1:1/img/x1.jpg";
    const std::optional<PushNotice> notice =
        buildPushNotice(receiver.url(), kAlarmsTitle, "", kAlarmLineCamera, picture);
    ASSERT_TRUE(notice);
    ASSERT_TRUE(sendPushNotice(*notice, 10s).sent);
    const std::vector<std::string> requests = receiver.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].find("\r\nAttach: " + picture + "\r\n"), std::string::npos) << requests[0];

    // Without a picture, or with one that is no web address or would end its header line,
    // the push goes without the header.
    for (const std::string& bad :
         {std::string(), std::string("file:///etc/passwd"), std::string("http://x/\r\nX-Evil: 1"),
          std::string("http://x/\x82\xa0.jpg")}) {
        const std::optional<PushNotice> plain = buildPushNotice(receiver.url(), kAlarmsTitle, "", "", bad);
        ASSERT_TRUE(plain);
        EXPECT_TRUE(plain->attachHeader.empty()) << bad;
    }
}

} // namespace
} // namespace pelimo
