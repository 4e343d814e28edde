// The listing service misbehaving in every way the simulator can: each search page and each
// single-listing fetch fails within its bound, the window keeps handling events throughout,
// nothing half-read reaches the caller, and the next request after the fault succeeds.
#include "tests/faults/PumpGapMeter.h"
#include "tests/support/SimulatorProcess.h"
#include "xmlclient/ListingQueries.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>

namespace pelimo {
namespace {

using namespace std::chrono_literals;

// Well under the shortest fault a blocking wait would sit through (the 400 ms late start),
// well over what a busy machine's scheduler takes from a running process now and then.
constexpr auto kMaxPumpGap = 250ms;

class ListingFaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.start());
        ASSERT_TRUE(
            sim.control("/sim/put?ItemNo=fault1&ItemName=" + test::percentEncode("watched") +
                        "&CurrentPrice=100&RemainTime=3&AuctionType=NO&BidNum=0&ItemNum=1&ImageUrl=x"));
        endpoints.listingBase = sim.baseUrl();
        endpoints.itemPageBase = sim.baseUrl();
        request.text = "watched";
    }

    test::SimulatorProcess sim;
    Endpoints endpoints;
    SearchRequest request;
};

struct Fault {
    const char* name;
    std::string control; // the simulator's control target that starts the fault
    bool fails;          // whether the request fails (a delay within the bound does not)
};

const Fault kFaults[] = {
    {"no answer", "/sim/fault?mode=hang&count=1", true},
    {"byte by byte", "/sim/fault?mode=slow&ms=5&count=1", true},
    {"closed mid-answer", "/sim/fault?mode=drop&count=1", true},
    {"oversized", "/sim/fault?mode=huge&count=1", true},
    {"entity bomb", "/sim/fault?mode=bomb&count=1", true},
    {"error page", "/sim/fault?mode=html&count=1", true},
    {"cut document", "/sim/fault?mode=malformed&count=1", true},
    {"slow to start", "/sim/delay?ms=400", false},
};

TEST_F(ListingFaultTest, SearchPageFailsBoundedAndResponsiveThenRecovers)
{
    for (const Fault& f : kFaults) {
        SCOPED_TRACE(f.name);
        XmlDocumentClient client(LoadLimits{1500ms, 1u << 20, 2s});
        ASSERT_TRUE(sim.control(f.control));

        int32_t total = -7;
        int32_t current = -7;
        test::PumpGapMeter meter;
        const auto start = std::chrono::steady_clock::now();
        const int32_t result = searchListing(client, endpoints, request, total, current);
        const auto took = std::chrono::steady_clock::now() - start;
        meter.stop();

        EXPECT_EQ(result, f.fails ? 1 : 0);
        if (f.fails) {
            EXPECT_EQ(total, -7) << "a failed page reports no totals";
            std::vector<ItemInfo> rows;
            EXPECT_LE(parseListingItems(client, rows), 0);
            EXPECT_TRUE(rows.empty());
        }
        EXPECT_LT(took, 3s);
        EXPECT_LT(meter.longestGap(), kMaxPumpGap);

        // The service is back: the same client gets the page.
        ASSERT_TRUE(sim.control("/sim/delay?ms=0"));
        ASSERT_EQ(searchListing(client, endpoints, request, total, current), 0);
        EXPECT_EQ(total, 1);
        std::vector<ItemInfo> rows;
        ASSERT_EQ(parseListingItems(client, rows), 1);
        EXPECT_EQ(rows[0].ItemNo, "fault1");
    }
}

TEST_F(ListingFaultTest, WatchFetchKeepsTheRecordOnFailureThenRecovers)
{
    const ItemInfo kept{"fault1", "old name", "1", "NO", "", "0", "1", "1"};
    for (const Fault& f : kFaults) {
        SCOPED_TRACE(f.name);
        XmlDocumentClient client(LoadLimits{1500ms, 1u << 20, 2s});
        ASSERT_TRUE(sim.control(f.control));

        ItemInfo record = kept;
        test::PumpGapMeter meter;
        const int32_t result = queryItem(client, endpoints, "fault1", record);
        meter.stop();
        EXPECT_EQ(result, f.fails ? 1 : 0);
        if (f.fails) {
            EXPECT_EQ(record, kept) << "a failed fetch leaves the watched listing as it was";
        }
        EXPECT_LT(meter.longestGap(), kMaxPumpGap);

        ASSERT_TRUE(sim.control("/sim/delay?ms=0"));
        ASSERT_EQ(queryItem(client, endpoints, "fault1", record), 0);
        EXPECT_EQ(record.ItemName, "watched");
    }
}

TEST_F(ListingFaultTest, RefusedConnectionFailsAtOnceThenRecovers)
{
    Endpoints gone = endpoints;
    sim.stop();
    XmlDocumentClient client(LoadLimits{1500ms, 1u << 20, 2s});
    int32_t total = -7;
    int32_t current = -7;
    test::PumpGapMeter meter;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(searchListing(client, gone, request, total, current), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    meter.stop();
    EXPECT_LT(meter.longestGap(), kMaxPumpGap);

    // A service that comes back on another port is reached by the same client.
    ASSERT_TRUE(sim.start());
    ASSERT_TRUE(
        sim.control("/sim/put?ItemNo=fault1&ItemName=watched&CurrentPrice=1&RemainTime=3&AuctionType=NO"
                    "&BidNum=0&ItemNum=1&ImageUrl=x"));
    gone.listingBase = sim.baseUrl();
    EXPECT_EQ(searchListing(client, gone, request, total, current), 0);
    EXPECT_EQ(total, 1);
}

} // namespace
} // namespace pelimo
