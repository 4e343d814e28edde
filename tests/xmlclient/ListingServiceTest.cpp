#include "TestText.h"
#include "platform/EventPump.h"
#include "tests/support/ServicePauseClock.h"
#include "tests/support/SimulatorProcess.h"
#include "xmlclient/ListingQueries.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace pelimo {
namespace {

using namespace std::chrono_literals;
using test::sjis;
using test::utf8;

// Every test talks to one simulator over loopback; faults and pinned listings are reset
// between tests.
class ListingServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        sim = new test::SimulatorProcess({"--hits", "テスト=25", "--hits", "ページ=3"});
        ASSERT_TRUE(sim->start());
    }
    static void TearDownTestSuite()
    {
        delete sim;
        sim = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(sim, nullptr);
        ASSERT_TRUE(sim->control("/sim/reset"));
        endpoints.listingBase = sim->baseUrl();
    }
    void TearDown() override { platform::setPendingEventHandler({}); }

    static SearchRequest keyword(const std::string& utf8Text, int32_t page = 1)
    {
        SearchRequest request;
        request.text = sjis(utf8Text);
        request.page = page;
        return request;
    }

    std::string lastDecodedRequest()
    {
        const std::vector<std::string> requests = sim->decodedRequests();
        return requests.empty() ? std::string() : requests.back();
    }

    static test::SimulatorProcess* sim;
    Endpoints endpoints;
};

test::SimulatorProcess* ListingServiceTest::sim = nullptr;

// Loopback TCP sockets of this machine whose remote end is the given port, in any state
// (a closed connection lingers in TIME_WAIT on the side that closed it).
int socketsTowards(int port)
{
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    int count = 0;
    char remotePort[5] = {};
    while (std::getline(table, line)) {
        // "  sl  local_address rem_address ...": rem_address is HEXIP:HEXPORT.
        if (std::sscanf(line.c_str(), "%*s %*s %*8s:%4s", remotePort) == 1 &&
            std::stoi(remotePort, nullptr, 16) == port)
            ++count;
    }
    return count;
}

TEST_F(ListingServiceTest, QueryStringsArriveAsTyped)
{
    const struct {
        const char* name;
        SearchRequest request;
        const char* received;
    } cases[] = {
        {"all types, upper bound only",
         {0, sjis("テスト"), "", 0, 5000, 1, {}},
         "/bep/xml?at=NO,PA,FL,FP,GB&tf=xml_lite3&keyword=テスト&ipp=10&page=1&chigh=5000"},
        {"both bounds in order",
         {0, "camera", "NO,FL", 1000, 3000, 2, "junk"},
         "/bep/xml?at=NO,FL&tf=xml_lite3&keyword=camera&ipp=10&page=2&clow=1000&chigh=3000"},
        {"negative bounds left out",
         {0, "camera", "GB", -5, -1, 1, {}},
         "/bep/xml?at=GB&tf=xml_lite3&keyword=camera&ipp=10&page=1"},
        {"reserved characters survive",
         {0, sjis("a b&page=9#x+y%41 ソニー　"), "", 0, 0, 1, {}},
         "/bep/xml?at=NO,PA,FL,FP,GB&tf=xml_lite3&keyword=a b&page=9#x+y%41 ソニー　&ipp=10&page=1"},
        {"lot number form has no other keys",
         {1, "x10&page=2", "NO", 100, 200, 3, {}},
         "/bep/xml?tf=xml_lite6&exhibit_id=x10&page=2"},
    };
    for (const auto& c : cases) {
        XmlDocumentClient client;
        int32_t total = -1;
        int32_t current = -1;
        EXPECT_EQ(searchListing(client, endpoints, c.request, total, current), 0) << c.name;
        EXPECT_EQ(lastDecodedRequest(), c.received) << c.name;
        const std::string raw = sim->requests().back();
        EXPECT_EQ(raw.find(' '), std::string::npos) << c.name << ": " << raw;
        EXPECT_EQ(raw.find('#'), std::string::npos) << c.name << ": " << raw;
    }
    ASSERT_EQ(sim->requests().size(), std::size(cases)) << "one request per search";
}

TEST_F(ListingServiceTest, PagesAreReadInOrder)
{
    XmlDocumentClient client;
    std::set<std::string> seen;
    const size_t expectedCounts[] = {10, 10, 5};
    for (int32_t page = 1; page <= 3; ++page) {
        int32_t total = 0;
        int32_t current = 0;
        ASSERT_EQ(searchListing(client, endpoints, keyword("テスト", page), total, current), 0);
        EXPECT_EQ(total, 3);
        EXPECT_EQ(current, page);
        std::vector<ItemInfo> items{ItemInfo{}};
        ASSERT_EQ(parseListingItems(client, items), static_cast<int32_t>(expectedCounts[page - 1]));
        ASSERT_EQ(items.size(), expectedCounts[page - 1]) << "the target is emptied first";
        for (const ItemInfo& item : items) {
            EXPECT_NE(utf8(item.ItemName).find("テスト"), std::string::npos) << utf8(item.ItemName);
            EXPECT_FALSE(item.ItemNo.empty());
            EXPECT_TRUE(seen.insert(item.ItemNo).second) << "listing repeated: " << item.ItemNo;
        }
    }
}

TEST_F(ListingServiceTest, ConsecutiveLoadsShareOneConnection)
{
    XmlDocumentClient client;
    const std::string address = *searchAddress(endpoints.listingBase, keyword("テスト"));
    ASSERT_EQ(client.load(address, true), 0);
    const int open = socketsTowards(sim->port());
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(client.load(address, true), 0);
    XmlDocumentClient another;
    ASSERT_EQ(another.load(address, true), 0);
    EXPECT_EQ(socketsTowards(sim->port()), open);
}

TEST_F(ListingServiceTest, NoHitsIsASuccessfulEmptyLastPage)
{
    XmlDocumentClient client;
    int32_t total = -1;
    int32_t current = -1;
    ASSERT_EQ(searchListing(client, endpoints, keyword("qqqq-nothing-matches"), total, current), 0);
    EXPECT_EQ(total, current);
    std::vector<ItemInfo> items;
    EXPECT_EQ(parseListingItems(client, items), 0);
    EXPECT_TRUE(items.empty());
}

TEST_F(ListingServiceTest, PinnedListingIsFoundByLotNumberAndByQuery)
{
    ASSERT_TRUE(
        sim->control("/sim/put?ItemNo=lot42&ItemName=" + test::percentEncode("ソニー＆<箱>") +
                     "&CurrentPrice=" + test::percentEncode("12,800円") +
                     "&ImageUrl=http%3A%2F%2Fimg%2F%7Ea.jpg&AuctionType=FL&ItemNum=1&BidNum=4&RemainTime=" +
                     test::percentEncode("2日3時間")));
    ItemInfo expected;
    expected.ItemNo = "lot42";
    expected.ItemName = sjis("ソニー＆<箱>");
    expected.CurrentPrice = sjis("12,800円");
    expected.AuctionType = "FL";
    expected.ImageUrl = "http://img/~a.jpg";
    expected.BidNum = "4";
    expected.ItemNum = "1";
    expected.RemainTime = sjis("2日3時間");

    XmlDocumentClient client;
    SearchRequest lot;
    lot.lotNumberMode = 1;
    lot.text = "lot42";
    int32_t total = 0;
    int32_t current = 0;
    ASSERT_EQ(searchListing(client, endpoints, lot, total, current), 0);
    std::vector<ItemInfo> items;
    ASSERT_EQ(parseListingItems(client, items), 1);
    EXPECT_EQ(items[0], expected);

    ItemInfo record;
    ASSERT_EQ(queryItem(client, endpoints, "lot42", record), 0);
    EXPECT_EQ(record, expected);
    NodeCursor cursor;
    EXPECT_EQ(client.selectNodes("//ListingInfo", cursor), -1) << "queryItem releases the document";

    ItemInfo untouched = expected;
    EXPECT_EQ(queryItem(client, endpoints, "no-such-lot", untouched), 1);
    EXPECT_EQ(untouched, expected);
    EXPECT_EQ(lastDecodedRequest(), "/bep/xml?tf=xml_lite3&exhibit_id=no-such-lot");
}

TEST_F(ListingServiceTest, ItemNumbersAreReadWithoutBlanksAndABlankOneIsNoListing)
{
    const auto pin = [&](const std::string& itemNo) {
        return sim->control("/sim/put?ItemNo=" + test::percentEncode(itemNo) +
                            "&ItemName=x&CurrentPrice=1&AuctionType=NO&ItemNum=1&BidNum=0&RemainTime=1");
    };
    ASSERT_TRUE(pin(" lot7\t"));
    ASSERT_TRUE(pin("  "));
    XmlDocumentClient client;
    SearchRequest lot;
    lot.lotNumberMode = 1;
    int32_t total = 0;
    int32_t current = 0;
    std::vector<ItemInfo> items;

    lot.text = " lot7\t";
    ASSERT_EQ(searchListing(client, endpoints, lot, total, current), 0);
    ASSERT_EQ(parseListingItems(client, items), 1);
    EXPECT_EQ(items[0].ItemNo, "lot7");
    ItemInfo record;
    ASSERT_EQ(queryItem(client, endpoints, " lot7\t", record), 0);
    EXPECT_EQ(record.ItemNo, "lot7");

    lot.text = "  ";
    ASSERT_EQ(searchListing(client, endpoints, lot, total, current), 0);
    EXPECT_EQ(parseListingItems(client, items), 0) << "the answer's row is no listing";
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(queryItem(client, endpoints, "  ", record), 1);
    EXPECT_EQ(record.ItemNo, "lot7") << "the record is left as it was";
}

TEST_F(ListingServiceTest, FaultyAnswersFailTheQuery)
{
    const struct {
        const char* mode;
        int32_t load; // what the plain load reports
    } cases[] = {
        {"html", 0},      // an error page still counts as loaded; it just selects nothing
        {"malformed", 0}, //
        {"bomb", 0},      //
        {"drop", -1},     // the connection closed mid-answer
        {"huge", -1},     // beyond the client's size cap
    };
    const std::string address = *searchAddress(endpoints.listingBase, keyword("テスト"));
    for (const auto& c : cases) {
        XmlDocumentClient client(LoadLimits{5s, 1u << 20});
        ASSERT_TRUE(sim->control(std::string("/sim/fault?mode=") + c.mode + "&count=2")) << c.mode;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(client.load(address, true), c.load) << c.mode;
        NodeCursor cursor;
        EXPECT_LE(client.selectNodes("//ListingInfo", cursor), 0) << c.mode;
        int32_t total = -5;
        int32_t current = -5;
        EXPECT_EQ(searchListing(client, endpoints, keyword("テスト"), total, current), 1) << c.mode;
        EXPECT_EQ(total, -5) << c.mode;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 4s) << c.mode;

        // The same client works again once the service behaves.
        EXPECT_EQ(searchListing(client, endpoints, keyword("テスト"), total, current), 0) << c.mode;
        EXPECT_EQ(total, 3) << c.mode;
    }
}

TEST_F(ListingServiceTest, AServiceThatAsksToWaitIsNotAskedAgainUntilItsWaitIsOver)
{
    const struct {
        const char* fault;
        std::chrono::seconds wait;
    } cases[] = {
        {"/sim/fault?mode=ratelimit&count=1&retry=30", 30s},
        {"/sim/fault?mode=ratelimit&count=1&retry=120&date=1", 120s},
        {"/sim/fault?mode=ratelimit&count=1&status=503", 60s},
    };
    ASSERT_TRUE(sim->control("/sim/put?ItemNo=w1&ItemName=fresh&CurrentPrice=1&RemainTime=3&AuctionType=NO"
                             "&BidNum=0&ItemNum=1&ImageUrl=x"));
    const ItemInfo kept{"w1", "kept", "5", "NO", "", "2", "1", "9"};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        test::ServicePauseClock clock;
        ASSERT_TRUE(sim->control(c.fault));
        XmlDocumentClient client;
        ItemInfo record = kept;
        EXPECT_EQ(queryItem(client, endpoints, "w1", record), kServiceWaiting);
        EXPECT_EQ(record, kept);
        const std::optional<ServiceWait> wait = listingServiceWait(endpoints);
        ASSERT_TRUE(wait);
        // A date is the simulator's time, in whole seconds.
        EXPECT_GE(wait->left, c.wait - 2s);
        EXPECT_LE(wait->left, c.wait + 1s);

        // Every client of the process waits, without sending anything.
        const size_t asked = sim->requests().size();
        XmlDocumentClient other;
        int32_t total = -5;
        int32_t current = -5;
        EXPECT_EQ(searchListing(other, endpoints, keyword("テスト"), total, current), kServiceWaiting);
        EXPECT_EQ(total, -5);
        EXPECT_EQ(startSearchListing(
                      other, endpoints, keyword("テスト"),
                      [](int32_t, int32_t, int32_t) { ADD_FAILURE() << "a refused search runs no handler"; }),
                  kServiceWaiting);
        EXPECT_EQ(queryItem(other, endpoints, "w1", record), kServiceWaiting);
        EXPECT_EQ(sim->requests().size(), asked);

        clock.advance(wait->left - 1ms);
        EXPECT_EQ(queryItem(client, endpoints, "w1", record), kServiceWaiting);
        clock.advance(1ms);
        EXPECT_EQ(queryItem(client, endpoints, "w1", record), 0);
        EXPECT_EQ(record.ItemName, "fresh");
    }
}

TEST_F(ListingServiceTest, UnreachableAndSilentServicesEndTheLoad)
{
    XmlDocumentClient refused;
    EXPECT_EQ(refused.load("http://127.0.0.1:1/bep/xml", true), -1);

    ASSERT_TRUE(sim->control("/sim/fault?mode=hang&count=1"));
    XmlDocumentClient client(LoadLimits{300ms, LoadLimits::kDefaultMaxBytes, 1s});
    int events = 0;
    platform::setPendingEventHandler([&] { ++events; });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client.load(*searchAddress(endpoints.listingBase, keyword("テスト")), true), -1);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 250ms);
    EXPECT_LT(waited, 2s);
    EXPECT_GT(events, 20) << "pending events are handled while waiting";

    // An answer that trickles in byte by byte is bounded by the time for the whole answer.
    ASSERT_TRUE(sim->control("/sim/fault?mode=slow&ms=20&count=1"));
    const auto slowStart = std::chrono::steady_clock::now();
    EXPECT_EQ(client.load(*searchAddress(endpoints.listingBase, keyword("テスト")), false), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - slowStart, 2s);
    NodeCursor cursor;
    EXPECT_EQ(client.selectNodes("//ListingInfo", cursor), -1);
}

TEST_F(ListingServiceTest, AbortFromAHandlerEndsTheWait)
{
    ASSERT_TRUE(sim->control("/sim/fault?mode=hang&count=1"));
    XmlDocumentClient client;
    int events = 0;
    platform::setPendingEventHandler([&] {
        EXPECT_TRUE(client.isLoading());
        if (++events == 50)
            client.abortLoad();
    });
    const auto start = std::chrono::steady_clock::now();
    int32_t total = -1;
    int32_t current = -1;
    EXPECT_EQ(client.load(*searchAddress(endpoints.listingBase, keyword("テスト")), true), 1);
    EXPECT_EQ(events, 50) << "no event is handled after the abort";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_FALSE(client.isLoading());

    // A stale abort does not end the next wait: load clears it first.
    client.abortLoad();
    platform::setPendingEventHandler({});
    EXPECT_EQ(searchListing(client, endpoints, keyword("テスト"), total, current), 0);
    EXPECT_EQ(current, 1);
}

TEST_F(ListingServiceTest, NestedLoadsOnlyOnOtherClients)
{
    ASSERT_TRUE(sim->control("/sim/delay?ms=300"));
    XmlDocumentClient outer;
    XmlDocumentClient inner;
    const std::string address = *searchAddress(endpoints.listingBase, keyword("テスト"));
    int32_t reentrant = 99;
    int32_t nested = 99;
    ItemInfo record;
    bool once = false;
    int events = 0;
    platform::setPendingEventHandler([&] {
        // Late enough that the outer request is being held by the service.
        if (once || ++events < 25)
            return;
        once = true;
        reentrant = outer.load(address, true);
        ASSERT_TRUE(sim->control("/sim/delay?ms=0"));
        std::vector<ItemInfo> items;
        int32_t total = 0;
        int32_t current = 0;
        nested = searchListing(inner, endpoints, keyword("テスト", 2), total, current);
        parseListingItems(inner, items);
        if (!items.empty())
            record = items[0];
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(outer.load(address, true), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 250ms);
    EXPECT_EQ(reentrant, -1) << "a load on the client that is waiting is refused";
    EXPECT_EQ(nested, 0) << "another client loads inside the wait";
    EXPECT_FALSE(record.ItemNo.empty());
    NodeCursor cursor;
    EXPECT_EQ(outer.selectNodes("//ListingInfo/ItemInfo", cursor), 10)
        << "the pending load was not disturbed";
}

TEST_F(ListingServiceTest, BoundIsTheServiceSilenceNotANestedWait)
{
    // Something runs inside the first load's wait for 3 s, longer than its 2 s bound: the
    // transfer moves on meanwhile, or its answer is read afterwards, and only a service that
    // stays silent fails it.
    test::SimulatorProcess slow({"--delay-ms", "3000", "--hits", "ページ=3"});
    ASSERT_TRUE(slow.start());
    Endpoints slowEndpoints;
    slowEndpoints.listingBase = slow.baseUrl();
    XmlDocumentClient inner;
    int32_t nested = 99;
    const auto anotherListsLoad = [&] {
        int32_t total = 0;
        int32_t current = 0;
        nested = searchListing(inner, slowEndpoints, keyword("ページ"), total, current);
    };
    const auto busyHandler = [&] {
        std::this_thread::sleep_for(3s); // a handler that handles no events meanwhile
        nested = 0;
    };
    const struct {
        const char* name;
        const char* control;
        std::function<void()> nestedWork;
        int32_t result;
    } cases[] = {
        {"answer after 1 s, another list's load", "/sim/delay?ms=1000", anotherListsLoad, 0},
        {"answer after 1 s, a busy handler", "/sim/delay?ms=1000", busyHandler, 0},
        {"no answer at all", "/sim/fault?mode=hang&count=1", anotherListsLoad, -1},
    };
    const std::string address = *searchAddress(endpoints.listingBase, keyword("テスト"));
    for (const auto& c : cases) {
        ASSERT_TRUE(sim->control("/sim/reset"));
        ASSERT_TRUE(sim->control(c.control));
        XmlDocumentClient outer(LoadLimits{2s, LoadLimits::kDefaultMaxBytes, 10s});
        nested = 99;
        int rounds = 0;
        platform::setPendingEventHandler([&] {
            // Late enough that the request is out and the service holds it.
            if (++rounds == 25)
                c.nestedWork();
        });
        EXPECT_EQ(outer.load(address, true), c.result) << c.name;
        platform::setPendingEventHandler({});
        EXPECT_EQ(nested, 0) << c.name;
        NodeCursor cursor;
        EXPECT_EQ(outer.selectNodes("//ListingInfo/ItemInfo", cursor), c.result == 0 ? 10 : -1) << c.name;
    }
}

} // namespace
} // namespace pelimo
