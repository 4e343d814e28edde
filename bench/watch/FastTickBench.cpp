// A fast tick of the watch list over 1,000 watched listings of which 20 are near their end,
// served by the listing simulator, side by side with the curl command-line tool fetching the
// same 20 single-listing addresses in one invocation. The simulator's request log shows that
// each tick fetched exactly those 20. Plain: no window, no Qt.
#include "bench/support/CurlRun.h"
#include "bench/support/Measure.h"
#include "tests/support/SimulatorProcess.h"
#include "watch/AramFile.h"
#include "watch/WatchList.h"
#include "xmlclient/ListingQueries.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

using namespace pelimo;
using Clock = std::chrono::steady_clock;

constexpr int kListings = 1000;
constexpr int kNearEnd = 20;
constexpr int kRounds = 15;

class QuietHost final : public WatchListHost {
public:
    void setStatusLine(const std::string&) override {}
    void showItem(int32_t, const ItemInfo&) override {}
    void refreshAlertItem(const ItemInfo&) override {}
    void unmarkItem(const std::string&) override {}
    void setTrayIcon(int32_t) override {}
    void showFileNotice(const std::string&) override {}
    void watchListClosed() override {}
};

// The alarms go nowhere: only the cycle is measured.
class QuietNotifier final : public AlarmNotifier {
public:
    void showAlert(std::string_view, const std::string&, const ItemInfo&, int32_t, AlarmKind) override {}
    void sendAlarms(const AlarmBatch&) override {}
};

} // namespace

int main()
{
    test::SimulatorProcess sim;
    if (!sim.start()) {
        std::fprintf(stderr, "the listing simulator did not start\n");
        return 1;
    }
    Endpoints endpoints;
    endpoints.listingBase = sim.baseUrl();

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("bench-fasttick-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::vector<ItemInfo> records;
    std::vector<std::string> nearAddresses;
    for (int i = 0; i < kListings; ++i) {
        const std::string no = "f" + std::to_string(100000 + i);
        // Every 50th listing ends in ten minutes ("10分"), the others in three days ("3日").
        const bool near = i % (kListings / kNearEnd) == 0;
        sim.control("/sim/put?ItemNo=" + no + "&ItemName=item" + std::to_string(i) + "&CurrentPrice=" +
                    std::to_string(1000 + i) + (near ? "&RemainTime=10%E5%88%86" : "&RemainTime=3%E6%97%A5") +
                    "&AuctionType=NO&BidNum=1&ItemNum=1&ImageUrl=");
        records.push_back(ItemInfo{no, "item", "0", "NO", "", "0", "1", "-"});
        if (near)
            nearAddresses.push_back(*itemAddress(endpoints.listingBase, no));
    }
    const std::string curlConfig = (folder / "curl.cfg").string();
    if (!saveAramFile(records, folder.string()) || !bench::writeCurlConfig(curlConfig, nearAddresses)) {
        std::fprintf(stderr, "could not write the watch list file or the curl config\n");
        return 1;
    }
    // What the simulator logs of a fetch: the address without its scheme and host.
    std::vector<std::string> nearTargets;
    for (const std::string& address : nearAddresses)
        nearTargets.push_back(address.substr(endpoints.listingBase.size()));
    std::sort(nearTargets.begin(), nearTargets.end());

    EnvSettings settings;
    settings.alarmOnRemainingTime = 1;
    QuietHost host;
    QuietNotifier notifier;
    WatchList list(settings, endpoints, host, notifier, folder.string());
    list.load();
    list.setNearEndSettings({1, 30, 60});
    // One regular cycle learns every listing's remaining time.
    list.runUpdateCycle();
    const size_t due = list.fastTickSelection().size();

    const std::string loadBefore = bench::loadAverages();
    std::vector<double> ticks, curlWall, curlTransfers;
    bool ok = due == nearTargets.size();
    for (int round = 0; round < kRounds; ++round) {
        const size_t logged = sim.requests().size();
        const auto start = Clock::now();
        list.runFastTick();
        ticks.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        std::vector<std::string> fetched = sim.requests();
        fetched.erase(fetched.begin(), fetched.begin() + static_cast<std::ptrdiff_t>(logged));
        std::sort(fetched.begin(), fetched.end());
        const bench::CurlRun curl = bench::runCurl(curlConfig);
        curlWall.push_back(curl.wallSeconds);
        curlTransfers.push_back(curl.transferSeconds);
        if (fetched != nearTargets || !curl.ok || curl.transfers != nearTargets.size()) {
            std::fprintf(stderr, "round %d: the tick fetched %zu addresses%s; curl %zu transfers%s\n",
                         round + 1, fetched.size(),
                         fetched == nearTargets ? "" : ", not the 20 near their end", curl.transfers,
                         curl.ok ? "" : ", failed");
            ok = false;
        }
    }
    std::filesystem::remove_all(folder);
    const double ours = bench::median(ticks);
    const double wall = bench::median(curlWall);
    const double transfers = bench::median(curlTransfers);

    std::printf("watched listings                %d, near their end and fetched by each tick %zu\n",
                kListings, due);
    std::printf("fast tick (median of %d)        %.2f ms\n", kRounds, ours * 1000);
    std::printf("curl, the same %zu in one run    %.2f ms, its transfers %.2f ms\n", nearTargets.size(),
                wall * 1000, transfers * 1000);
    std::printf("ratio tick/curl                 %.2f (against curl's transfers %.2f), goal 1.30\n",
                ours / wall, ours / transfers);
    std::printf("load averages                   before %s, after %s\n", loadBefore.c_str(),
                bench::loadAverages().c_str());
    return ok ? 0 : 1;
}
