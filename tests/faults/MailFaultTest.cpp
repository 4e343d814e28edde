// SMTP and POP3 servers misbehaving: the alert mail attempt fails within its bounds, reports
// failure with the status text it had reached, and the next attempt against a working server
// delivers the mail.
#include "mail/SendAlertMail.h"
#include "tests/support/LoopbackListener.h"
#include "tests/support/Pop3Server.h"
#include "tests/support/SmtpScript.h"
#include "tests/support/SmtpSink.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace pelimo {
namespace {

using namespace std::chrono_literals;
using test::LoopbackListener;
using test::LoopbackPeer;

constexpr MailTimeouts kShortWaits{500ms, 500ms, 500ms};

struct PeerFault {
    const char* name;
    std::function<void(LoopbackPeer&)> script; // empty: nothing listens (refused)
};

std::vector<PeerFault> peerFaults(const std::string& goodGreeting)
{
    return {
        {"refused", {}},
        {"accepts and never answers",
         [](LoopbackPeer& peer) {
             peer.drain(2s);
         }},
        {"answers byte by byte",
         [goodGreeting](LoopbackPeer& peer) {
             peer.trickle(goodGreeting, 200ms);
         }},
        {"closes mid-answer",
         [goodGreeting](LoopbackPeer& peer) {
             peer.send(goodGreeting.substr(0, 2));
         }},
        {"oversized answer",
         [](LoopbackPeer& peer) {
             peer.send(std::string(200 * 1024, 'x'));
             peer.drain(1s);
         }},
        {"garbage",
         [](LoopbackPeer& peer) {
             peer.send(std::string("\0\xff\x81\r\n\x1b[2J\n", 9));
             peer.drain(1s);
         }},
    };
}

MailSettings mailSettings(uint16_t smtpPort, bool popFirst, uint16_t pop3Port)
{
    MailSettings s;
    s.smtpHost = "127.0.0.1";
    s.smtpPort = smtpPort;
    s.popBeforeSmtp = popFirst;
    s.pop3Host = "127.0.0.1";
    s.pop3Port = pop3Port;
    s.pop3User = "tester";
    s.pop3Password = "s3cret";
    s.mailFrom = "watch@example.com";
    s.mailTo = "user@example.com";
    return s;
}

// A port that nothing listens on: one the system just handed out and took back.
uint16_t closedPort()
{
    return test::freeLoopbackPort();
}

TEST(MailFaults, SmtpServerFaultsFailTheAttemptWithinItsBounds)
{
    test::SmtpSink sink;
    ASSERT_EQ(sink.startError(), "");
    for (const PeerFault& f : peerFaults("220 ready\r\n")) {
        SCOPED_TRACE(f.name);
        std::optional<LoopbackListener> server;
        if (f.script)
            server.emplace(f.script);
        const uint16_t port = server ? server->port() : closedPort();
        std::vector<std::string> shown;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(SendAlertMail(
            mailSettings(port, false, 0), "alert\n", [&](const std::string& t) { shown.push_back(t); },
            kShortWaits));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.back(), "CONNECT TO SMTP") << "the failed connect leaves its text";

        // The next attempt, against a working server, gets through and clears the status.
        shown.clear();
        EXPECT_TRUE(SendAlertMail(
            mailSettings(sink.port(), false, 0), "alert\n", [&](const std::string& t) { shown.push_back(t); },
            kShortWaits));
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.back(), "");
    }
    EXPECT_EQ(sink.mails().size(), peerFaults("").size());
}

TEST(MailFaults, SmtpServerThatStopsAfterDataKeepsTheSendText)
{
    // Accepts the envelope, then goes silent once the message has been sent.
    std::vector<std::string> commands;
    LoopbackListener server(test::smtpScript(
        "220 hi\r\n", {"250 hello\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n"}, &commands));
    std::vector<std::string> shown;
    EXPECT_FALSE(SendAlertMail(
        mailSettings(server.port(), false, 0), "alert\n", [&](const std::string& t) { shown.push_back(t); },
        kShortWaits));
    server.finish();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), "SEND TO user@example.com");
}

// An SMTP server whose replies arrive in pieces: each reply is one write per byte, and the
// HELO reply has two lines. The client waits for each reply's last line, so no later line is
// taken as the answer to the next command, and a refusal at the end of the data is seen.
TEST(MailFaults, SmtpRepliesInPiecesAreReadWhole)
{
    struct Case {
        const char* name;
        std::string endOfData;
        bool sent;
    };
    const Case cases[] = {
        {"accepted", "250 queued\r\n", true},
        {"refused after the data", "554 rejected\r\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> commands;
        LoopbackListener server([&c, &commands](LoopbackPeer& peer) {
            peer.trickle("220 ready\r\n", 2ms);
            const std::vector<std::string> replies{"250-hello\r\n250 size\r\n", "250 sender\r\n",
                                                   "250 recipient\r\n", "354 go\r\n"};
            for (const std::string& reply : replies) {
                const auto line = peer.readLine();
                if (!line)
                    return;
                commands.push_back(line->substr(0, 4));
                peer.trickle(reply, 2ms);
            }
            while (auto line = peer.readLine()) {
                if (*line == ".\r\n") {
                    peer.trickle(c.endOfData, 2ms);
                    break;
                }
            }
            peer.drain(1s);
        });
        std::vector<std::string> shown;
        EXPECT_EQ(SendAlertMail(
                      mailSettings(server.port(), false, 0), "alert\n",
                      [&](const std::string& t) { shown.push_back(t); }, kShortWaits),
                  c.sent);
        server.finish();
        EXPECT_EQ(commands, (std::vector<std::string>{"HELO", "MAIL", "RCPT", "DATA"}));
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.back(), c.sent ? "" : "SEND TO user@example.com");
    }
}

// A server that sends every byte well within the bound, but a whole reply (SMTP) or a whole
// reply line (POP3) only after it, does not hold the attempt: the bound is for the whole
// reply, and the step fails with the status text it had reached.
TEST(MailFaults, TrickledRepliesEndTheAttemptByTheirBound)
{
    test::SmtpSink sink;
    ASSERT_EQ(sink.startError(), "");
    const std::vector<std::string> smtpReplies{"250 hello\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n",
                                               "250 queued\r\n"};
    std::vector<std::string> commands;
    struct Case {
        const char* name;
        bool popFirst;
        std::function<void(LoopbackPeer&)> script;
        std::vector<std::string> shown;
    };
    const std::vector<Case> cases{
        {"SMTP replies",
         false,
         test::smtpScript("220 ready\r\n", smtpReplies, &commands, 100ms),
         {"CONNECT TO SMTP"}},
        {"POP3 greeting",
         true,
         [](LoopbackPeer& peer) {
             peer.trickle("+OK ready\r\n", 100ms);
             for (const char* reply : {"+OK user\r\n", "+OK pass\r\n", "+OK bye\r\n"}) {
                 if (peer.readLine())
                     peer.send(reply);
             }
         },
         {}},
        {"POP3 reply to USER",
         true,
         [](LoopbackPeer& peer) {
             peer.send("+OK ready\r\n");
             if (peer.readLine())
                 peer.trickle("+OK user\r\n", 100ms);
             for (const char* reply : {"+OK pass\r\n", "+OK bye\r\n"}) {
                 if (peer.readLine())
                     peer.send(reply);
             }
         },
         {"+OK ready"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackListener server(c.script);
        const MailSettings settings = c.popFirst ? mailSettings(sink.port(), true, server.port())
                                                 : mailSettings(server.port(), false, 0);
        std::vector<std::string> shown;
        EXPECT_FALSE(SendAlertMail(
            settings, "alert\n", [&](const std::string& t) { shown.push_back(t); }, kShortWaits));
        server.finish();
        EXPECT_EQ(shown, c.shown);
    }
    EXPECT_TRUE(sink.mails().empty());
}

TEST(MailFaults, Pop3ServerFaultsStopBeforeAnySmtpConnection)
{
    test::SmtpSink sink;
    test::Pop3Server pop3;
    ASSERT_EQ(sink.startError(), "");
    ASSERT_EQ(pop3.startError(), "");
    for (const PeerFault& f : peerFaults("+OK ready\r\n")) {
        SCOPED_TRACE(f.name);
        std::optional<LoopbackListener> server;
        if (f.script)
            server.emplace(f.script);
        const uint16_t port = server ? server->port() : closedPort();
        std::vector<std::string> shown;
        const auto start = std::chrono::steady_clock::now();
        const bool sent = SendAlertMail(
            mailSettings(sink.port(), true, port), "alert\n",
            [&](const std::string& t) { shown.push_back(t); }, kShortWaits);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_FALSE(sent);
        for (const std::string& t : shown)
            EXPECT_NE(t, "CONNECT TO SMTP") << "no SMTP connection after a failed login";

        // The real server is back: the login and the mail get through.
        shown.clear();
        EXPECT_TRUE(SendAlertMail(
            mailSettings(sink.port(), true, pop3.port()), "alert\n",
            [&](const std::string& t) { shown.push_back(t); }, MailTimeouts{}));
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.back(), "");
    }
    EXPECT_EQ(sink.mails().size(), peerFaults("").size());
}

} // namespace
} // namespace pelimo
