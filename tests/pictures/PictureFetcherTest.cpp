// The fetcher against a loopback server of pictures: how many at once and in which order, what
// a withdrawal and a failure do, which addresses and answers are refused, the disk cache across
// a restart, and pictures giving way to a search's request (the listing simulator's).
#include "pictures/PictureFetcher.h"

#include "pictures/PictureDiskCache.h"
#include "platform/EventLoop.h"
#include "tests/support/PictureServer.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempFolder.h"
#include "xmlclient/ListingQueries.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace pelimo::pictures {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Runs the event loop until the condition holds, at most the bound. The condition is looked
// at every few milliseconds too, as what the server's threads do wakes no wait of ours.
bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound = 10s)
{
    const auto deadline = Clock::now() + bound;
    const auto tick = platform::eventLoop().createTimer([] {});
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        tick->start(5ms);
        platform::eventLoop().waitForEvents();
    }
    return true;
}

// Runs the event loop for a while, whatever happens.
void runFor(std::chrono::milliseconds time)
{
    runUntil([] { return false; }, time);
}

class PictureFetcherTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.running()); }

    std::unique_ptr<PictureFetcher> makeFetcher(PictureFetcherOptions options = {})
    {
        PictureHandlers handlers;
        handlers.ready = [this](const std::string& address, std::string bytes) {
            ready[address] = bytes;
        };
        handlers.failed = [this](const std::string& address) {
            failed.push_back(address);
        };
        return std::make_unique<PictureFetcher>(cache, handlers, options);
    }
    std::vector<std::string> names(std::initializer_list<const char*> list)
    {
        return std::vector<std::string>(list.begin(), list.end());
    }

    test::PictureServer server;
    test::TempFolder folder{"picture-fetch"};
    PictureDiskCache cache{folder.path()};
    std::map<std::string, std::string> ready;
    std::vector<std::string> failed;
};

TEST_F(PictureFetcherTest, AtMostFourAtOnce)
{
    auto fetcher = makeFetcher();
    server.hold();
    for (int n = 0; n < 12; ++n)
        fetcher->ask(server.url(std::to_string(n)));
    ASSERT_TRUE(runUntil([&] { return server.waitForHeld(4, 0ms); }));
    runFor(300ms); // time for a fifth, were one to start
    EXPECT_EQ(server.requests().size(), 4u);
    server.release();
    ASSERT_TRUE(runUntil([&] { return fetcher->idle(); }));
    EXPECT_EQ(ready.size(), 12u);
    EXPECT_EQ(server.mostAtOnce(), 4u);
    EXPECT_EQ(fetcher->counts().requested, 12u);
}

// One at a time, so the order the server sees is the order they were taken in.
TEST_F(PictureFetcherTest, TheNewestFirstAndWithdrawnOnesNotAtAll)
{
    auto fetcher = makeFetcher(PictureFetcherOptions{.atOnce = 1});
    server.hold();
    fetcher->ask(server.url("first"));
    ASSERT_TRUE(runUntil([&] { return server.waitForHeld(1, 0ms); }));
    const int list = 0;
    const int tooltip = 0;
    // A list scrolls: the rows it showed give way to the ones it shows now.
    fetcher->showOnly(&list, {server.url("a"), server.url("b"), server.url("c")});
    fetcher->showOnly(&list, {server.url("d"), server.url("e"), server.url("b")});
    // A tooltip asked for one the list gave up, and for another it dropped again.
    fetcher->ask(server.url("a"), &tooltip);
    fetcher->ask(server.url("f"), &tooltip);
    fetcher->withdraw(server.url("f"), &tooltip);
    fetcher->ask(server.url("g"));
    server.release();
    ASSERT_TRUE(runUntil([&] { return fetcher->idle(); }));
    EXPECT_EQ(server.requests(), names({"first", "g", "a", "d", "e", "b"}));
}

TEST_F(PictureFetcherTest, AFailedPictureIsNotAskedForAgain)
{
    struct Case {
        const char* name;
        int status;
        std::string body;
        bool streamed;
    };
    const Case cases[] = {
        {"missing", 404, "not found", false},
        {"broken", 500, "oops", false},
        {"empty", 200, "", false},
        {"over-2-MB", 200, std::string((2u << 20) + 1, 'x'), false},
        {"over-2-MB-without-length", 200, std::string((2u << 20) + 1, 'x'), true},
    };
    auto fetcher = makeFetcher();
    for (const Case& c : cases) {
        server.answer(c.name, c.status, c.body, c.streamed);
        EXPECT_TRUE(fetcher->ask(server.url(c.name))) << c.name;
    }
    fetcher->ask(server.url("exactly-2-MB"));
    server.answer("exactly-2-MB", 200, std::string(2u << 20, 'y'));
    ASSERT_TRUE(runUntil([&] { return fetcher->idle(); }));

    EXPECT_EQ(ready.size(), 1u);
    EXPECT_EQ(ready[server.url("exactly-2-MB")].size(), 2u << 20);
    EXPECT_EQ(failed.size(), std::size(cases));
    const size_t requests = server.requests().size();
    for (const Case& c : cases) {
        EXPECT_TRUE(fetcher->hasFailed(server.url(c.name))) << c.name;
        EXPECT_FALSE(fetcher->ask(server.url(c.name))) << c.name;
        EXPECT_EQ(cache.read(server.url(c.name)), std::nullopt) << c.name;
    }
    runFor(200ms);
    EXPECT_EQ(server.requests().size(), requests);
}

TEST_F(PictureFetcherTest, OnlyWebAddressesAreFetched)
{
    auto fetcher = makeFetcher();
    const std::string refused[] = {
        "",
        "ftp://127.0.0.1/img/a",
        "file:///etc/passwd",
        "javascript:alert(1)",
        "http:///img/a",
        "img/a",
        "http://127.0.0.1/img/a b",
        "http://127.0.0.1/img/a\r\nX-Injected: 1",
    };
    for (const std::string& address : refused) {
        EXPECT_FALSE(fetcher->ask(address)) << address;
        EXPECT_TRUE(fetcher->hasFailed(address)) << address;
    }
    EXPECT_TRUE(fetcher->ask(server.url("fine")));
    ASSERT_TRUE(runUntil([&] { return fetcher->idle(); }));
    EXPECT_EQ(server.requests(), names({"fine"}));
    EXPECT_EQ(ready.size(), 1u);
}

TEST_F(PictureFetcherTest, ASilentServerFailsThePictureWithinItsBound)
{
    PictureFetcherOptions options;
    options.limits.timeout = 300ms;
    auto fetcher = makeFetcher(options);
    server.hold();
    fetcher->ask(server.url("silent"));
    ASSERT_TRUE(runUntil([&] { return !failed.empty(); }, 5s));
    EXPECT_TRUE(fetcher->hasFailed(server.url("silent")));
}

TEST_F(PictureFetcherTest, ARestartTakesThePicturesFromTheDiskCache)
{
    const std::vector<std::string> addresses{server.url("1"), server.url("2"), server.url("3")};
    {
        auto fetcher = makeFetcher();
        for (const std::string& address : addresses)
            fetcher->ask(address);
        ASSERT_TRUE(runUntil([&] { return fetcher->idle(); }));
    }
    const auto firstRun = ready;
    ASSERT_EQ(firstRun.size(), 3u);
    ready.clear();

    PictureDiskCache reopened(folder.path());
    PictureHandlers handlers;
    handlers.ready = [this](const std::string& address, std::string bytes) {
        ready[address] = bytes;
    };
    PictureFetcher fetcher(reopened, handlers);
    for (const std::string& address : addresses)
        fetcher.ask(address);
    ASSERT_TRUE(runUntil([&] { return fetcher.idle(); }));
    EXPECT_EQ(ready, firstRun);
    EXPECT_EQ(fetcher.counts().requested, 0u);
    EXPECT_EQ(fetcher.counts().fromCache, 3u);
    EXPECT_EQ(server.requests().size(), 3u);
}

// While a search's page waits for its answer no picture starts; they follow once it came.
TEST_F(PictureFetcherTest, PicturesWaitForTheSearchesRequest)
{
    test::SimulatorProcess sim({"--hits", "pictures=30"});
    ASSERT_TRUE(sim.start());
    ASSERT_TRUE(sim.control("/sim/delay?ms=700").has_value());
    Endpoints endpoints;
    endpoints.listingBase = sim.baseUrl();
    SearchRequest request;
    request.text = "pictures";
    XmlDocumentClient client;
    bool pageDone = false;
    size_t picturesAskedDuringPage = 99;
    ASSERT_EQ(client.startLoad(*searchAddress(endpoints.listingBase, request),
                               [&](int32_t result) {
                                   EXPECT_EQ(result, 0);
                                   pageDone = true;
                                   picturesAskedDuringPage = server.requests().size();
                               }),
              0);
    auto fetcher = makeFetcher();
    for (int n = 0; n < 6; ++n)
        fetcher->ask(server.url(std::to_string(n)));
    ASSERT_TRUE(runUntil([&] { return pageDone; }));
    EXPECT_EQ(picturesAskedDuringPage, 0u);
    ASSERT_TRUE(runUntil([&] { return fetcher->idle(); }));
    EXPECT_EQ(ready.size(), 6u);
}

} // namespace
} // namespace pelimo::pictures
