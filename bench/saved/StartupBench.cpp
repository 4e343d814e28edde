// How long the program takes from its start to its first request with many saved searches:
// the real program (offscreen) in a folder whose SearchList.xml holds 2,000 searches, timed
// until the listing simulator logs the first request (its /sim/requests), beside the same
// start with 20 searches, in one run. Only the first 20 open and run, so both should be alike.
#include "bench/support/Measure.h"
#include "search/saved/SavedSearchFile.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempFolder.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using namespace pelimo;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr size_t kManySearches = 2000;
constexpr size_t kFewSearches = 20;
constexpr size_t kSeenPerSearch = 20;
constexpr int kRounds = 5;
constexpr auto kPatience = 120s;

std::vector<SavedSearch> searches(size_t count)
{
    const SeenSet::Time now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    std::vector<SavedSearch> out(count);
    for (size_t i = 0; i < count; ++i) {
        out[i].request.text = "startup" + std::to_string(i);
        out[i].firstRunPending = false;
        for (size_t n = 0; n < kSeenPerSearch; ++n)
            out[i].seen.markSeen("s" + std::to_string(i) + "x" + std::to_string(n), now);
    }
    return out;
}

struct Start {
    bool ok = false;
    double seconds = 0; // from the start of the process to the first request the simulator logged
};

Start timeStart(test::SimulatorProcess& sim, const std::string& folder, const std::vector<SavedSearch>& saved)
{
    Start start;
    if (!saveSavedSearchFile(saved, folder) || !sim.control("/sim/reset"))
        return start;
    test::ChildProcess program;
    const Clock::time_point begin = Clock::now();
    if (!program.start(
            {PELIMO_PROGRAM_PATH},
            {.environment = {"PELIMO_LISTING_BASE=" + sim.baseUrl(), "PELIMO_ITEMPAGE_BASE=" + sim.baseUrl(),
                             "QT_QPA_PLATFORM=offscreen", "QTWEBENGINE_DISABLE_SANDBOX=1"},
             .outputFile = folder + "/program.log",
             .workingFolder = folder}))
        return start;
    while (Clock::now() - begin < kPatience) {
        if (!sim.requests().empty()) {
            start.seconds = std::chrono::duration<double>(Clock::now() - begin).count();
            start.ok = true;
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    start.ok = program.terminate(60s) == 0 && start.ok;
    return start;
}

} // namespace

int main()
{
    test::SimulatorProcess sim;
    test::TempFolder folder("bench-startup");
    if (!sim.start() || folder.path().empty()) {
        std::fprintf(stderr, "the simulator or the folder could not be had\n");
        return 1;
    }
    const std::vector<SavedSearch> many = searches(kManySearches);
    const std::vector<SavedSearch> few(many.begin(), many.begin() + kFewSearches);
    const std::string loadBefore = bench::loadAverages();
    std::vector<double> manyTimes, fewTimes;
    for (int round = 0; round < kRounds; ++round) {
        // Side by side, so a busy moment of the machine weighs on both alike.
        const Start withMany = timeStart(sim, folder.path(), many);
        const Start withFew = timeStart(sim, folder.path(), few);
        if (!withMany.ok || !withFew.ok) {
            std::fprintf(stderr, "round %d: the program did not start, request and end cleanly\n", round + 1);
            return 1;
        }
        std::printf("round %d: %zu searches %.3f s, %zu searches %.3f s\n", round + 1, kManySearches,
                    withMany.seconds, kFewSearches, withFew.seconds);
        manyTimes.push_back(withMany.seconds);
        fewTimes.push_back(withFew.seconds);
    }
    const double manyMedian = bench::median(manyTimes);
    const double fewMedian = bench::median(fewTimes);
    std::printf("start to first request, SearchList.xml of %zu searches (median of %d)  %.3f s, goal < 2 s\n",
                kManySearches, kRounds, manyMedian);
    std::printf("the same with %zu searches                                           %.3f s, ratio %.2f\n",
                kFewSearches, fewMedian, manyMedian / fewMedian);
    std::printf("load averages                                                       before %s, after %s\n",
                loadBefore.c_str(), bench::loadAverages().c_str());
    return 0;
}
