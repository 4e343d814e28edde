// A fast tick of the watch list over 1,000 watched listings of which 20 are near their end,
// served by the listing simulator, side by side with the curl command-line tool fetching the
// same 20 single-listing addresses in one invocation. Plain: no window, no Qt.
#include "tests/support/SimulatorProcess.h"
#include "watch/AramFile.h"
#include "watch/WatchList.h"
#include "xmlclient/ListingQueries.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace pelimo;
using Clock = std::chrono::steady_clock;

constexpr int kListings = 1000;
constexpr int kNearEnd = 20;
constexpr int kRounds = 7;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Counts the listings the tick named on the status line.
class CountingHost final : public WatchListHost {
public:
    void setStatusLine(const std::string& sjis) override { named += !sjis.empty(); }
    void showItem(int32_t, const ItemInfo&) override {}
    void refreshAlertItem(const ItemInfo&) override {}
    void unmarkItem(const std::string&) override {}
    void setTrayIcon(int32_t) override {}
    void showBalloon(const std::string&, const ItemInfo&) override {}
    void showMailStatus(const std::string&) override {}
    void showFileNotice(const std::string&) override {}
    void watchListClosed() override {}

    int named = 0;
};

double curlSeconds(const std::string& configPath)
{
    std::vector<std::string> args = {"curl", "--silent", "--fail", "--config", configPath};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? s : -1;
}

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
    std::ofstream curlConfig(folder / "curl.cfg");
    for (int i = 0; i < kListings; ++i) {
        const std::string no = "f" + std::to_string(100000 + i);
        // Every 50th listing ends in ten minutes ("10分"), the others in three days ("3日").
        const bool near = i % (kListings / kNearEnd) == 0;
        sim.control("/sim/put?ItemNo=" + no + "&ItemName=item" + std::to_string(i) + "&CurrentPrice=" +
                    std::to_string(1000 + i) + (near ? "&RemainTime=10%E5%88%86" : "&RemainTime=3%E6%97%A5") +
                    "&AuctionType=NO&BidNum=1&ItemNum=1&ImageUrl=");
        records.push_back(ItemInfo{no, "item", "0", "NO", "", "0", "1", "-"});
        if (near)
            curlConfig << "url = \"" << *itemAddress(endpoints.listingBase, no)
                       << "\"\noutput = \"/dev/null\"\n";
    }
    curlConfig.close();
    if (!saveAramFile(records, folder.string())) {
        std::fprintf(stderr, "could not write the watch list file\n");
        return 1;
    }

    EnvSettings settings;
    settings.alarmOnRemainingTime = 1;
    CountingHost host;
    WatchList list(settings, endpoints, host, AlertMailer{}, folder.string());
    list.load();
    list.setNearEndSettings({1, 30, 60});
    // One regular cycle learns every listing's remaining time.
    list.runUpdateCycle();
    const size_t due = list.fastTickSelection().size();

    std::vector<double> ticks, curls;
    for (int round = 0; round < kRounds; ++round) {
        host.named = 0;
        const auto start = Clock::now();
        list.runFastTick();
        ticks.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        curls.push_back(curlSeconds((folder / "curl.cfg").string()));
    }
    std::filesystem::remove_all(folder);
    const double ours = median(ticks);
    const double curl = median(curls);

    std::printf("watched listings               %d, near their end %zu (fetched per tick %d)\n", kListings,
                due, host.named);
    std::printf("fast tick (median of %d)        %.2f ms\n", kRounds, ours * 1000);
    if (curl > 0)
        std::printf("curl, the same %d, one run     %.2f ms  (ratio ours/curl %.2f, goal 1.30)\n", kNearEnd,
                    curl * 1000, ours / curl);
    else
        std::printf("curl, one invocation           failed\n");
    return due == static_cast<size_t>(kNearEnd) && host.named == kNearEnd ? 0 : 1;
}
