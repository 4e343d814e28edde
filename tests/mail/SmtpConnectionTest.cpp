#include "mail/SmtpConnection.h"

#include "mail/MimeMessage.h"
#include "platform/net/Socket.h"
#include "tests/support/LoopbackListener.h"
#include "tests/support/SmtpScript.h"
#include "tests/support/SmtpSink.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

namespace pelimo {
namespace {

using namespace std::chrono_literals;
using test::LoopbackListener;

std::string helo()
{
    return "HELO " + platform::localHostName().value_or("");
}

MimeMessage plainMessage(const std::string& from, const std::string& to, const std::string& body = "hello\n")
{
    MimeMessage message(createTextConversionService());
    message.setSender(from);
    message.addRecipient(to);
    message.addText(body, 1, 0);
    return message;
}

TEST(SmtpConnection, DeliversToARealServer)
{
    test::SmtpSink server;
    ASSERT_EQ(server.startError(), "");
    MimeMessage message =
        plainMessage("from@example.com", "a@example.com, b@example.com", ".dot first\r\n.dot again\nhello\n");
    SmtpConnection smtp;
    ASSERT_TRUE(smtp.connect("127.0.0.1", server.port(), 10000ms));
    ASSERT_TRUE(smtp.sendMessage(message));
    EXPECT_TRUE(smtp.close());
    EXPECT_FALSE(smtp.close());

    const auto mails = server.mails();
    ASSERT_EQ(mails.size(), 1u);
    const std::string& mail = mails[0];
    EXPECT_TRUE(mail.starts_with("MAIL FROM:<from@example.com>\nRCPT TO:<a@example.com>\n"
                                 "RCPT TO:<b@example.com>\nDATA\nDate: "))
        << mail;
    // The server took the doubled dots off again; the end-of-data line is not in the mail.
    EXPECT_NE(mail.find("\r\n\r\n.dot first\r\n.dot again\r\nhello\r\n\r\n"), std::string::npos) << mail;
    EXPECT_TRUE(mail.ends_with("hello\r\n\r\n"));
}

TEST(SmtpConnection, HostNameIsResolvedAndAConnectionIsNotReused)
{
    test::SmtpSink server;
    ASSERT_EQ(server.startError(), "");
    SmtpConnection smtp;
    ASSERT_TRUE(smtp.connect("localhost", server.port(), 10000ms));
    EXPECT_FALSE(smtp.connect("127.0.0.1", server.port(), 10000ms));
    EXPECT_TRUE(smtp.isConnected());
}

TEST(SmtpConnection, ScriptedReplies)
{
    struct Case {
        const char* name;
        std::string greeting;
        std::vector<std::string> replies;
        std::string recipients;
        bool connects;
        bool sends;
        std::vector<std::string> commands;
    };
    const std::string ok = "250 ok\r\n";
    const std::string go = "354 go on\r\n";
    const std::vector<Case> cases{
        {"greeting not 220", "554 busy\r\n", {}, "a@x", false, false, {}},
        {"HELO refused", "220 hi\r\n", {"501 no\r\n"}, "a@x", false, false, {helo()}},
        {"recipient 251",
         "220 hi\r\n",
         {ok, ok, "251 forwarded\r\n", go, ok},
         "a@x",
         true,
         true,
         {helo(), "MAIL FROM:<f@x>", "RCPT TO:<a@x>", "DATA"}},
        {"multi-line greeting in one piece",
         "220-hi\r\n220 there\r\n",
         {ok, ok, ok, go, ok},
         "a@x",
         true,
         true,
         {helo(), "MAIL FROM:<f@x>", "RCPT TO:<a@x>", "DATA"}},
        {"sender refused", "220 hi\r\n", {ok, "550 no\r\n"}, "a@x", true, false, {helo(), "MAIL FROM:<f@x>"}},
        {"recipient rejected",
         "220 hi\r\n",
         {ok, ok, "550 unknown\r\n", ok},
         "a@x",
         true,
         false,
         {helo(), "MAIL FROM:<f@x>", "RCPT TO:<a@x>", "RSET"}},
        {"DATA refused",
         "220 hi\r\n",
         {ok, ok, ok, "554 no\r\n", ok},
         "a@x",
         true,
         false,
         {helo(), "MAIL FROM:<f@x>", "RCPT TO:<a@x>", "DATA", "RSET"}},
        {"end of data refused",
         "220 hi\r\n",
         {ok, ok, ok, go, "554 spam\r\n"},
         "a@x",
         true,
         false,
         {helo(), "MAIL FROM:<f@x>", "RCPT TO:<a@x>", "DATA"}},
        {"separators",
         "220 hi\r\n",
         {ok, ok, ok, ok, ok, ok, go, ok},
         "a@x,b@x;c@x,   d@x",
         true,
         true,
         {helo(), "MAIL FROM:<f@x>", "RCPT TO:<a@x>", "RCPT TO:<b@x>", "RCPT TO:<c@x>", "RCPT TO:<d@x>",
          "DATA"}},
        {"blanks and empty entries are skipped",
         "220 hi\r\n",
         {ok, ok, ok, ok, go, ok},
         " a@x ,;b@x\t",
         true,
         true,
         {helo(), "MAIL FROM:<f@x>", "RCPT TO:<a@x>", "RCPT TO:<b@x>", "DATA"}},
        {"no address", "220 hi\r\n", {ok}, " , ", true, false, {helo()}},
        {"overlong address", "220 hi\r\n", {ok}, "a@x " + std::string(989, 'r'), true, false, {helo()}},
        {"line break in a recipient", "220 hi\r\n", {ok}, "a@x\r\nDATA", true, false, {helo()}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> commands;
        LoopbackListener server(test::smtpScript(c.greeting, c.replies, &commands));
        SmtpConnection smtp(2000ms);
        const bool connected = smtp.connect("127.0.0.1", server.port(), 5000ms);
        EXPECT_EQ(connected, c.connects);
        EXPECT_EQ(smtp.isConnected(), c.connects);
        if (connected) {
            MimeMessage message = plainMessage("f@x", "unused@x");
            EXPECT_EQ(smtp.sendMessage(message, c.recipients), c.sends);
        }
        smtp.close();
        server.finish();
        EXPECT_EQ(commands, c.commands);
    }
}

TEST(SmtpConnection, LineBreakInTheSenderWritesNothing)
{
    std::vector<std::string> commands;
    LoopbackListener server(test::smtpScript("220 hi\r\n", {"250 ok\r\n"}, &commands));
    SmtpConnection smtp(2000ms);
    ASSERT_TRUE(smtp.connect("127.0.0.1", server.port(), 5000ms));
    MimeMessage message = plainMessage("f@x>\r\nRCPT TO:<evil@x", "a@x");
    EXPECT_FALSE(smtp.sendMessage(message));
    smtp.close();
    EXPECT_EQ(server.finish(), helo() + "\r\n");
}

TEST(SmtpConnection, SilentServerEndsByTheBound)
{
    LoopbackListener server([](test::LoopbackPeer& peer) { peer.drain(5s); });
    SmtpConnection smtp(300ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(smtp.connect("127.0.0.1", server.port(), 5000ms));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_FALSE(smtp.isConnected());
}

TEST(SmtpConnection, ConnectEndsByItsTimeOut)
{
    // A listener whose queue is full leaves further connection attempts unanswered.
    const test::LoopbackListener listener(0);
    const in_addr loopback{htonl(INADDR_LOOPBACK)};
    std::vector<platform::Socket> fillers;
    for (int i = 0; i < 16; ++i) {
        auto s = platform::connectTcp(loopback, listener.port(), 200ms);
        if (!s)
            break;
        fillers.push_back(std::move(*s));
    }
    ASSERT_LT(fillers.size(), 16u) << "the listen queue did not fill";

    SmtpConnection smtp;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(smtp.connect("127.0.0.1", listener.port(), 500ms));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 450ms);
    EXPECT_LT(took, 3s);
}

TEST(SmtpConnection, UnreachableOrUnknownHostFails)
{
    SmtpConnection smtp;
    EXPECT_FALSE(smtp.connect("127.0.0.1", test::freeLoopbackPort(), 2000ms));
    EXPECT_FALSE(smtp.connect("no-such-host.invalid", 25, 2000ms));
    EXPECT_FALSE(smtp.connect("", 25, 2000ms));
    MimeMessage message = plainMessage("f@x", "a@x");
    EXPECT_FALSE(smtp.sendMessage(message));
}

} // namespace
} // namespace pelimo
