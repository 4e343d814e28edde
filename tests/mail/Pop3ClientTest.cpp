#include "mail/Pop3Client.h"

#include "tests/support/LoopbackListener.h"
#include "tests/support/Pop3Server.h"

#include <gtest/gtest.h>
#include <thread>

namespace pelimo {
namespace {

using namespace std::chrono_literals;
using test::LoopbackListener;
using test::LoopbackPeer;

TEST(Pop3Client, LogsInToARealServer)
{
    test::Pop3Server server;
    ASSERT_EQ(server.startError(), "");
    Pop3Client pop3;
    std::string result;
    ASSERT_TRUE(pop3.connect("127.0.0.1", std::to_string(server.port()), result)) << result;
    EXPECT_TRUE(result.starts_with("+OK")) << result;
    EXPECT_TRUE(result.ends_with("\r\n"));
    ASSERT_TRUE(pop3.user("tester", result)) << result;
    EXPECT_TRUE(result.starts_with("+OK"));
    ASSERT_TRUE(pop3.pass("s3cret", result)) << result;
    EXPECT_EQ(result, "+OK Logged in.\r\n");
    EXPECT_TRUE(pop3.quit(result));
    EXPECT_EQ(result, "+OK Logging out.\r\n");
    pop3.close();
}

TEST(Pop3Client, RealServerRejectsAWrongPassword)
{
    test::Pop3Server server;
    ASSERT_EQ(server.startError(), "");
    Pop3Client pop3;
    std::string result;
    ASSERT_TRUE(pop3.connect("localhost", std::to_string(server.port()), result)) << result;
    ASSERT_TRUE(pop3.user("tester", result));
    EXPECT_FALSE(pop3.pass("wrong", result));
    EXPECT_TRUE(result.starts_with("-ERR")) << result;
    EXPECT_TRUE(result.ends_with("\r\n"));
}

TEST(Pop3Client, ReplyWordDecidesTheStep)
{
    struct Case {
        std::string reply;
        bool ok;
    };
    const std::vector<Case> cases{
        {"+OK welcome\r\n", true}, {"-ERR [AUTH] failed\r\n", false},
        {"-err no\r\n", false},    {"-Err mixed case\r\n", true},
        {"anything\n", true},
    };
    for (const auto& c : cases) {
        LoopbackListener server([&c](LoopbackPeer& peer) {
            peer.send("-ERR greeting content is not examined\r\n");
            if (peer.readLine())
                peer.send(c.reply);
            peer.drain(2s);
        });
        Pop3Client pop3(2000ms, 2000ms);
        std::string result;
        ASSERT_TRUE(pop3.connect("127.0.0.1", std::to_string(server.port()), result));
        EXPECT_EQ(result, "-ERR greeting content is not examined\r\n");
        EXPECT_EQ(pop3.pass("pw", result), c.ok) << c.reply;
        EXPECT_EQ(result, c.reply);
        pop3.close();
        EXPECT_EQ(server.finish(), "pass pw\r\n");
    }
}

TEST(Pop3Client, LinesAcrossSegmentsAndBrokenLines)
{
    struct Case {
        const char* name;
        std::function<void(LoopbackPeer&)> script;
        bool ok;
        std::string result;
    };
    const std::string longLine(Pop3Client::kMaxLineLength + 10, 'z');
    const std::vector<Case> cases{
        {"split greeting",
         [](LoopbackPeer& peer) {
             peer.send("+OK hel");
             std::this_thread::sleep_for(100ms);
             peer.send("lo");
             std::this_thread::sleep_for(100ms);
             peer.send("\r\n+OK next\r\n");
         },
         true, "+OK hello\r\n"},
        {"long line in pieces of the peek size",
         [](LoopbackPeer& peer) { peer.send("+OK " + std::string(5000, 'y') + "\r\n"); }, true,
         "+OK " + std::string(5000, 'y') + "\r\n"},
        {"no LF, then closed", [](LoopbackPeer& peer) { peer.send("+OK no end"); }, false, "ReadLine error"},
        {"closed at once", [](LoopbackPeer&) {}, false, "ReadLine error"},
        {"never answers", [](LoopbackPeer& peer) { peer.drain(3s); }, false, "ReadLine error"},
        {"line past the bound", [&longLine](LoopbackPeer& peer) { peer.send(longLine + "\r\n"); }, false,
         "ReadLine error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackListener server(c.script);
        Pop3Client pop3(500ms, 2000ms);
        std::string result;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(pop3.connect("127.0.0.1", std::to_string(server.port()), result), c.ok);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        EXPECT_EQ(result, c.result);
        pop3.close();
    }
}

TEST(Pop3Client, LineBreakInAUserIdOrPasswordWritesNothing)
{
    LoopbackListener server([](LoopbackPeer& peer) {
        peer.send("+OK ready\r\n");
        peer.drain(2s);
    });
    Pop3Client pop3(500ms);
    std::string result;
    ASSERT_TRUE(pop3.connect("127.0.0.1", std::to_string(server.port()), result));
    EXPECT_FALSE(pop3.user("tester\r\nuser other", result));
    EXPECT_FALSE(pop3.pass("pw\nquit", result));
    EXPECT_NE(result.find("invalid"), std::string::npos);
    pop3.close();
    EXPECT_EQ(server.finish(), "");
}

TEST(Pop3Client, CannotConnectNamesHostAndPort)
{
    const std::string closedPort = std::to_string(test::freeLoopbackPort());
    struct Case {
        std::string host;
        std::string port;
    };
    const std::vector<Case> cases{
        {"no-such-host.invalid", "110"}, {"127.0.0.1", closedPort}, {"127.0.0.1", "0"},
        {"127.0.0.1", "70000"},          {"127.0.0.1", "11x"},      {"", "110"},
    };
    for (const auto& c : cases) {
        Pop3Client pop3(500ms, 2000ms);
        std::string result;
        EXPECT_FALSE(pop3.connect(c.host, c.port, result));
        EXPECT_EQ(result, "cannot connect " + c.host + ":" + c.port);
    }
    // Without a connection every step reads nothing.
    Pop3Client pop3(500ms);
    std::string result;
    EXPECT_FALSE(pop3.user("tester", result));
    EXPECT_EQ(result, "ReadLine error");
    EXPECT_FALSE(pop3.quit(result));
}

} // namespace
} // namespace pelimo
