// The real program in a real window, as a person on a machine without a graphics card has it:
// Xvfb with a window manager, the listing simulator, the keyword typed and Enter pressed with
// xdotool. Each round starts the program afresh and measures, from the outside:
//   - the idle window's memory, the program and every process below it (VmRSS summed);
//   - a search of 2,000 pages, from Enter to the last page's request reaching the simulator,
//     beside curl fetching the same addresses the program asked for;
//   - one update cycle over 1,000 watched listings started with the "更新" button: the
//     program's processor time and the time to the last listing's request.
// Prints the rounds and their medians with the machine's load; asserts nothing.
//
//   bench_window [program] [rounds]
// With BENCH_NO_PICTURES set, the lists' picture column is off (it is on by default).
#include "bench/support/CurlRun.h"
#include "bench/support/Measure.h"
#include "platform/FileSystem.h"
#include "settings/SettingsStore.h"
#include "tests/desktop/DesktopSession.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempFolder.h"
#include "watch/AramFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace pelimo;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kPages = 2000;
constexpr int kWatched = 1000;
constexpr const char* kKeyword = "pacebench";
// Places inside the 800 x 650 main window, as the desktop suite clicks them.
constexpr int kAlertModeX = 133, kAlertModeY = 133; // the command bar's "アラート"
constexpr int kUpdateX = 747, kUpdateY = 397;       // "更新" under the watch list

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// The program and every process below it: their resident sizes added up, and their count.
std::pair<long, int> treeRssKb(int root)
{
    long total = test::residentKb(root);
    const std::vector<test::ProcessEntry> below = test::descendants(root);
    for (const test::ProcessEntry& p : below)
        total += test::residentKb(p.pid);
    return {total, static_cast<int>(below.size()) + 1};
}

// Processor time of one process so far, user and system, in seconds.
double processorSeconds(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return 0;
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    // Fields 3 to 13, then utime (14) and stime (15).
    for (int i = 3; i <= 13; ++i)
        rest >> field;
    rest >> user >> system;
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

size_t requestCount(test::SimulatorProcess& sim)
{
    return static_cast<size_t>(
        std::strtoul(sim.control("/sim/requests/count").value_or("0").c_str(), nullptr, 10));
}

// Waits until the simulator has received `count` requests; the moment it saw that, or nothing.
std::optional<Clock::time_point> awaitRequests(test::SimulatorProcess& sim, size_t count,
                                               std::chrono::seconds bound)
{
    const auto until = Clock::now() + bound;
    while (Clock::now() < until) {
        if (requestCount(sim) >= count)
            return Clock::now();
        std::this_thread::sleep_for(5ms);
    }
    return std::nullopt;
}

// Waits until the program has used no processor time for `quiet`; its processor time then.
double awaitIdle(int pid, std::chrono::milliseconds quiet, std::chrono::seconds bound)
{
    const auto until = Clock::now() + bound;
    double last = processorSeconds(pid);
    auto since = Clock::now();
    while (Clock::now() < until) {
        std::this_thread::sleep_for(50ms);
        const double now = processorSeconds(pid);
        if (now != last) {
            last = now;
            since = Clock::now();
        } else if (Clock::now() - since >= quiet) {
            break;
        }
    }
    return last;
}

struct Round {
    bool ok = false;
    double idleMb = 0;
    int idleProcesses = 0;
    double searchSeconds = 0;
    double searchCpu = 0;
    size_t searchPictures = 0; // pictures the list asked for during the search
    double curlSeconds = 0;
    double curlTransferSeconds = 0;
    double cycleSeconds = 0;
    double cycleCpu = 0;
};

class WindowBench {
public:
    explicit WindowBench(std::string program) : program(std::move(program)) {}

    bool start()
    {
        if (!test::DesktopSession::missingReason().empty() || !session.start(false, false)) {
            std::fprintf(stderr, "no desktop session: %s\n", test::DesktopSession::missingReason().c_str());
            return false;
        }
        if (!sim.start() || !sim.control(std::string("/sim/hits?word=") + kKeyword +
                                         "&count=" + std::to_string(kPages * 10))) {
            std::fprintf(stderr, "the listing simulator did not start\n");
            return false;
        }
        return true;
    }

    Round round()
    {
        Round r;
        const test::TempFolder folder("pelimo-bench-window");
        if (!prepareFolder(folder.path()))
            return r;
        test::DesktopProcess pelimo;
        if (!pelimo.start({program}, session.programEnvironment(sim.baseUrl()), folder.path()) ||
            !awaitWindow()) {
            std::fprintf(stderr, "the program's window did not show\n");
            return r;
        }
        const int pid = pelimo.pid();

        // Idle: the memory once it has settled (helper processes take a few seconds to start).
        std::pair<long, int> idle = treeRssKb(pid);
        for (int i = 0; i < 20; ++i) {
            std::this_thread::sleep_for(1s);
            const std::pair<long, int> now = treeRssKb(pid);
            const bool settled =
                now.second == idle.second && std::labs(now.first - idle.first) < idle.first / 50;
            idle = now;
            if (settled && i >= 4)
                break;
        }
        r.idleMb = static_cast<double>(idle.first) / 1024.0;
        r.idleProcesses = idle.second;

        // The search, typed as a person types it.
        awaitIdle(pid, 500ms, 20s);
        if (!session.run("xdotool windowactivate --sync " + std::to_string(window)) ||
            !session.run(std::string("xdotool type --delay 30 ") + kKeyword))
            return r;
        const double searchCpuBefore = processorSeconds(pid);
        const auto enter = Clock::now();
        if (!session.run("xdotool key Return"))
            return r;
        const std::optional<Clock::time_point> lastPage = awaitRequests(sim, kPages, 300s);
        if (!lastPage) {
            std::fprintf(stderr, "the search did not reach its last page (%zu requests)\n",
                         requestCount(sim));
            return r;
        }
        r.searchSeconds = seconds(*lastPage - enter);
        r.searchCpu = awaitIdle(pid, 300ms, 60s) - searchCpuBefore;
        r.searchPictures = sim.pictureRequests().size();

        // curl over the addresses the program asked for, in the same order.
        std::vector<std::string> addresses;
        for (const std::string& target : sim.requests())
            addresses.push_back(sim.baseUrl() + target);
        const std::string config = platform::joinPath(folder.path(), "curl.cfg");
        bench::CurlRun curl;
        if (bench::writeCurlConfig(config, addresses))
            curl = bench::runCurl(config);
        r.curlSeconds = curl.ok ? curl.wallSeconds : -1;
        r.curlTransferSeconds = curl.ok ? curl.transferSeconds : -1;

        // One update cycle in the alert mode.
        if (!pinWatched() || !session.click(window, kAlertModeX, kAlertModeY))
            return r;
        const size_t before = requestCount(sim); // the search's and curl's
        const double cycleCpuBefore = awaitIdle(pid, 500ms, 20s);
        const auto click = Clock::now();
        if (!session.click(window, kUpdateX, kUpdateY))
            return r;
        const std::optional<Clock::time_point> lastListing = awaitRequests(sim, before + kWatched, 300s);
        if (!lastListing) {
            std::fprintf(stderr, "the update cycle did not fetch every listing\n");
            return r;
        }
        r.cycleSeconds = seconds(*lastListing - click);
        r.cycleCpu = awaitIdle(pid, 300ms, 60s) - cycleCpuBefore;
        r.ok = true;
        return r;
    }

private:
    // The program's files: the 1,000 listings to watch and settings whose timer never fires
    // during a round. The simulator forgets the requests and pinned listings of the last round
    // and keeps the search's.
    bool prepareFolder(const std::string& folder)
    {
        if (!sim.control("/sim/reset"))
            return false;
        std::vector<ItemInfo> records;
        for (int i = 0; i < kWatched; ++i)
            records.push_back(ItemInfo{watchedNumber(i), "watched", "1000", "NO", "", "1", "1", "-"});
        EnvSettings settings = defaultSettings();
        settings.watchIntervalMinutes = 60;
        if (std::getenv("BENCH_NO_PICTURES"))
            settings.ext.showPictures = 0;
        return saveAramFile(records, folder) &&
               saveSettingsTo(platform::joinPath(folder, "env.ini"), settings);
    }

    // The watched listings as the service reports them. Pinned only after the search: every
    // search answer of the simulator looks through the pinned listings first.
    bool pinWatched()
    {
        for (int i = 0; i < kWatched; ++i) {
            if (!sim.control("/sim/put?ItemNo=" + watchedNumber(i) + "&ItemName=watched" + std::to_string(i) +
                             "&CurrentPrice=" + std::to_string(1000 + i) +
                             "&RemainTime=3%E6%97%A5&AuctionType=NO&BidNum=1&ItemNum=1&ImageUrl="))
                return false;
        }
        return true;
    }

    static std::string watchedNumber(int i) { return "b" + std::to_string(500000 + i); }

    bool awaitWindow()
    {
        return test::waitUntil(
            [this] {
                window = session.findWindow("Pelimo for zelvo");
                const auto place = window != 0 ? session.geometry(window) : std::nullopt;
                return place && (*place)[2] == 800 && (*place)[3] == 650;
            },
            60s);
    }

    std::string program;
    test::DesktopSession session;
    test::SimulatorProcess sim;
    unsigned long window = 0;
};

} // namespace

int main(int argc, char** argv)
{
    // Absolute: the program starts in a folder of its own.
    const std::string program = std::filesystem::absolute(argc > 1 ? argv[1] : PELIMO_PROGRAM_PATH).string();
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    WindowBench bench(program);
    if (!bench.start())
        return 1;
    std::printf("program %s\nload before: %s\n", program.c_str(), bench::loadAverages().c_str());
    std::vector<double> idle, search, searchCpu, curl, curlTransfer, ratio, cycle, cycleCpu;
    for (int i = 0; i < rounds; ++i) {
        const Round r = bench.round();
        if (!r.ok) {
            std::fprintf(stderr, "round %d failed\n", i + 1);
            return 1;
        }
        std::printf(
            "round %d: idle %.0f MB (%d processes), search %.2f s (cpu %.2f s, %zu pictures), curl %.2f s "
            "(transfers %.2f s), cycle %.2f s (cpu %.2f s), load %s\n",
            i + 1, r.idleMb, r.idleProcesses, r.searchSeconds, r.searchCpu, r.searchPictures, r.curlSeconds,
            r.curlTransferSeconds, r.cycleSeconds, r.cycleCpu, bench::loadAverages().c_str());
        std::fflush(stdout);
        idle.push_back(r.idleMb);
        search.push_back(r.searchSeconds);
        searchCpu.push_back(r.searchCpu);
        curl.push_back(r.curlSeconds);
        curlTransfer.push_back(r.curlTransferSeconds);
        ratio.push_back(r.curlSeconds > 0 ? r.searchSeconds / r.curlSeconds : 0);
        cycle.push_back(r.cycleSeconds);
        cycleCpu.push_back(r.cycleCpu);
    }
    std::printf("medians of %d rounds:\n", rounds);
    std::printf("idle window with its processes   %.0f MB\n", bench::median(idle));
    std::printf("search of %d pages              %.2f s (processor %.2f s)\n", kPages, bench::median(search),
                bench::median(searchCpu));
    std::printf("curl, same addresses            %.2f s (its transfers %.2f s); ours / curl %.2f\n",
                bench::median(curl), bench::median(curlTransfer), bench::median(ratio));
    std::printf("update cycle over %d listings   %.2f s, processor %.2f s\n", kWatched, bench::median(cycle),
                bench::median(cycleCpu));
    std::printf("load after: %s\n", bench::loadAverages().c_str());
    return 0;
}
