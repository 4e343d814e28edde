// One update cycle of the watch list control over 1,000 watched listings served by the
// listing simulator, offscreen, side by side with the curl command-line tool fetching the
// same 1,000 single-listing addresses in one invocation; then the processor time of the
// cycle per listing.
#include "bench/support/Measure.h"
#include "platform/qt/QtEventPump.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempFolder.h"
#include "watch/AramFile.h"
#include "watch/ui/CRkAramList.h"
#include "xmlclient/ListingQueries.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

using namespace pelimo;
using Clock = std::chrono::steady_clock;

constexpr int kListings = 1000;
constexpr int kRounds = 3;

// Records the last tray image and how many listings the cycle named.
class CountingHost final : public WatchListHost {
public:
    void setStatusLine(const std::string& sjis) override { named += !sjis.empty(); }
    void showItem(int32_t, const ItemInfo&) override {}
    void refreshAlertItem(const ItemInfo&) override {}
    void unmarkItem(const std::string&) override {}
    void setTrayIcon(int32_t id) override { tray = id; }
    void showFileNotice(const std::string&) override {}
    void watchListClosed() override {}

    int named = 0;
    int32_t tray = 0;
};

double curlSeconds(const std::string& configPath)
{
    const auto start = Clock::now();
    test::ChildProcess curl;
    if (!curl.start({"curl", "--silent", "--fail", "--config", configPath}))
        return -1;
    const std::optional<int> status = curl.wait(std::chrono::minutes(10));
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    return status == 0 ? s : -1;
}

// The alarms go nowhere: only the cycle is measured.
class QuietNotifier final : public AlarmNotifier {
public:
    void showAlert(std::string_view, const std::string&, const ItemInfo&, int32_t, AlarmKind) override {}
    void sendAlarms(const AlarmBatch&) override {}
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::installQtEventPump();

    test::SimulatorProcess sim;
    if (!sim.start()) {
        std::fprintf(stderr, "the listing simulator did not start\n");
        return 1;
    }
    Endpoints endpoints;
    endpoints.listingBase = sim.baseUrl();

    const test::TempFolder dir("pelimo-bench-watch");
    const std::string& folder = dir.path();
    std::vector<ItemInfo> records;
    std::ofstream curlConfig(folder + "/curl.cfg");
    for (int i = 0; i < kListings; ++i) {
        const std::string no = "w" + std::to_string(100000 + i);
        sim.control("/sim/put?ItemNo=" + no + "&ItemName=item" + std::to_string(i) +
                    "&CurrentPrice=" + std::to_string(1000 + i) +
                    "&RemainTime=3%E6%97%A5&AuctionType=NO&BidNum=1&ItemNum=1&ImageUrl=");
        records.push_back(ItemInfo{no, "item", "0", "NO", "", "0", "1", "-"});
        curlConfig << "url = \"" << *itemAddress(endpoints.listingBase, no) << "\"\noutput = \"/dev/null\"\n";
    }
    curlConfig.close();
    if (!saveAramFile(records, folder)) {
        std::fprintf(stderr, "could not write the watch list file\n");
        return 1;
    }

    EnvSettings settings;
    settings.watchIntervalMinutes = 60;
    settings.alarmOnPriceChange = 1;
    CountingHost host;
    QuietNotifier notifier;
    CRkAramList list(nullptr, settings, endpoints, host, notifier, folder);
    list.resize(800, 400);
    list.show();
    list.createAramList();

    // Three cycles and three curl runs, interleaved; the medians are printed.
    std::vector<double> cycles, cpus, curls;
    for (int round = 0; round < kRounds; ++round) {
        const double cpuBefore = bench::processorSeconds();
        const auto start = Clock::now();
        list.watchList().runUpdateCycle();
        cycles.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        cpus.push_back(bench::processorSeconds() - cpuBefore);
        curls.push_back(curlSeconds(folder + "/curl.cfg"));
    }
    const double ours = bench::median(cycles);
    const double cpu = bench::median(cpus);
    const double curl = bench::median(curls);

    int updated = 0;
    for (const AramEntry& e : list.entries())
        updated += e.info.CurrentPrice != "-" && e.info.CurrentPrice != "0";
    // The same 1,000 queries through one XML client with nothing around them: what the
    // cycle costs beyond the listing queries themselves.
    double bare = 0;
    {
        XmlDocumentClient client;
        const auto t0 = Clock::now();
        for (const ItemInfo& r : records) {
            ItemInfo fresh;
            queryItem(client, endpoints, r.ItemNo, fresh);
        }
        bare = std::chrono::duration<double>(Clock::now() - t0).count();
    }

    std::printf("watched listings            %d (updated %d, named %d, tray %d)\n", kListings, updated,
                host.named, host.tray);
    std::printf("update cycle (median of 3)  %.3f s  (%.2f ms per listing)\n", ours, ours * 1000 / kListings);
    if (curl > 0)
        std::printf("curl, one invocation        %.3f s  (ratio ours/curl %.2f)\n", curl, ours / curl);
    else
        std::printf("curl, one invocation        failed\n");
    std::printf("queries alone, one client   %.3f s\n", bare);
    std::printf("cycle processor time        %.3f s  (%.3f ms per listing)\n", cpu, cpu * 1000 / kListings);
    return updated == kListings ? 0 : 1;
}
