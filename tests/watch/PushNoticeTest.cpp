#include "watch/PushNotice.h"

#include "TestTexts.h"
#include "WatchTexts.h"
#include "platform/text/SjisText.h"

#include <arpa/inet.h>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace pelimo {
namespace {

using namespace std::chrono_literals;
using namespace watch_test_text;

// A loopback HTTP receiver that keeps the raw bytes of each request, then answers 200 or,
// when told to stay silent, nothing until the sender gives up.
class PushReceiver {
public:
    explicit PushReceiver(bool silent) : silent(silent)
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), len) == 0 && ::listen(listener, 4) == 0 &&
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port = ntohs(addr.sin_port);
        worker = std::thread([this] { serve(); });
    }
    ~PushReceiver()
    {
        stop = true;
        worker.join();
        ::close(listener);
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port) + "/alerts"; }
    std::vector<std::string> requests()
    {
        const std::lock_guard lock(mutex);
        return received;
    }

private:
    void serve()
    {
        while (!stop) {
            pollfd p{listener, POLLIN, 0};
            if (::poll(&p, 1, 20) != 1)
                continue;
            const int fd = ::accept(listener, nullptr, nullptr);
            if (fd < 0)
                continue;
            std::string bytes;
            char buf[4096];
            for (;;) {
                pollfd q{fd, POLLIN, 0};
                if (stop)
                    break;
                if (::poll(&q, 1, 20) == 0)
                    continue;
                const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                bytes.append(buf, static_cast<size_t>(n));
                const size_t headEnd = bytes.find("\r\n\r\n");
                const size_t lengthAt = bytes.find("Content-Length: ");
                if (headEnd == std::string::npos || lengthAt == std::string::npos)
                    continue;
                if (bytes.size() < headEnd + 4 + std::stoul(bytes.substr(lengthAt + 16)))
                    continue;
                {
                    const std::lock_guard lock(mutex);
                    received.push_back(bytes);
                }
                if (!silent) {
                    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
                    ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
                }
                // The silent receiver reads on until the sender closes.
            }
            ::close(fd);
        }
    }

    bool silent;
    int listener = -1;
    int port = 0;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::vector<std::string> received;
    std::thread worker;
};

TEST(Push, SendsTheAlarmTextWithTitleAndClickHeaders)
{
    PushReceiver receiver(false);
    const std::string click = "http://127.0.0.1:1/aff/t/m/WS/pitem_GKx1";
    const PushOutcome outcome =
        sendPush(receiver.url(), watch_text::kPushTitleAlarms, click, kAlarmLineCamera);
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
        buildPushNotice(receiver.url(), watch_text::kPushTitleNewListings, click, kAlarmLineCamera);
    ASSERT_TRUE(news);
    EXPECT_EQ(news->titleHeader, "=?UTF-8?B?5paw552A5oOF5aCx?=");
}

TEST(Push, AReceiverThatNeverAnswersFailsAtTheBound)
{
    PushReceiver receiver(true);
    const auto start = std::chrono::steady_clock::now();
    const PushOutcome outcome =
        sendPush(receiver.url(), watch_text::kPushTitleAlarms, "", kAlarmLineCamera, 300ms);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(outcome.sent);
    EXPECT_FALSE(outcome.reason.empty());
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, kPushTimeLimit); // the given bound, not the default one
    EXPECT_EQ(receiver.requests().size(), 1u);
}

TEST(Push, AddressesOtherThanHttpAreRefusedWithoutARequest)
{
    PushReceiver receiver(false);
    const std::string port = receiver.url().substr(17, receiver.url().find('/', 17) - 17);
    for (const std::string& url :
         std::vector<std::string>{"ftp://127.0.0.1:" + port + "/x", "file:///etc/passwd", "127.0.0.1:" + port,
                                  "http://", "http://127.0.0.1:" + port + "/a b", ""}) {
        SCOPED_TRACE(url);
        const PushOutcome outcome = sendPush(url, watch_text::kPushTitleAlarms, "", kAlarmLineCamera, 300ms);
        EXPECT_FALSE(outcome.sent);
        EXPECT_EQ(outcome.reason, watch_text::kPushBadAddress);
    }
    EXPECT_TRUE(receiver.requests().empty());
    // A Click value that would end its header line is left out.
    const std::optional<PushNotice> notice =
        buildPushNotice(receiver.url(), watch_text::kPushTitleAlarms, "http://x/\r\nX-Evil: 1", "");
    ASSERT_TRUE(notice);
    EXPECT_TRUE(notice->clickHeader.empty());
}

} // namespace
} // namespace pelimo
