// Reads search pages from the listing simulator through the XML client and, side by side,
// with the curl command-line tool over one reused connection; then measures the processor
// time one load uses while it waits for a slow answer, on the poll() loop of headless runs
// and on Qt's loop as in the program.
#include "bench/support/Measure.h"
#include "platform/text/SjisText.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SimulatorProcess.h"
#include "xmlclient/ListingQueries.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <unistd.h>
#include <vector>

#ifdef PELIMO_BENCH_QT_LOOP
#include "platform/qt/QtEventPump.h"

#include <QCoreApplication>
#endif

namespace {

using namespace pelimo;
using Clock = std::chrono::steady_clock;

constexpr int kPages = 1000;
constexpr int kRepetitions = 3;
constexpr int kWaitMs = 2000;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Pages per second through searchListing and parseListingItems, or 0 on a failed page.
double ourPagesPerSecond(const Endpoints& endpoints, const std::string& word)
{
    XmlDocumentClient client;
    std::vector<ItemInfo> items;
    size_t records = 0;
    const auto start = Clock::now();
    for (int page = 1; page <= kPages; ++page) {
        SearchRequest request;
        request.text = word;
        request.page = page;
        int32_t total = 0;
        int32_t current = 0;
        if (searchListing(client, endpoints, request, total, current) != 0 ||
            parseListingItems(client, items) < 1) {
            std::fprintf(stderr, "page %d failed\n", page);
            return 0;
        }
        records += items.size();
        client.release();
    }
    const double rate = kPages / seconds(Clock::now() - start);
    if (records != static_cast<size_t>(kPages) * 10)
        std::fprintf(stderr, "expected %d records, read %zu\n", kPages * 10, records);
    return rate;
}

double curlPagesPerSecond(const std::string& configPath)
{
    const auto start = Clock::now();
    test::ChildProcess curl;
    if (!curl.start({"curl", "--silent", "--fail", "--config", configPath}))
        return 0;
    const std::optional<int> status = curl.wait(std::chrono::minutes(10));
    const double elapsed = seconds(Clock::now() - start);
    if (status != 0) {
        std::fprintf(stderr, "curl failed\n");
        return 0;
    }
    return kPages / elapsed;
}

// Share of wall time the process spends on the processor while one load waits kWaitMs
// for its answer in the installed event loop.
double waitProcessorShare(test::SimulatorProcess& sim, const Endpoints& endpoints, const std::string& word)
{
    SearchRequest request;
    request.text = word;
    const std::string address = *searchAddress(endpoints.listingBase, request);
    XmlDocumentClient client;
    client.load(address, true); // connect first, so only the wait itself is measured
    sim.control("/sim/delay?ms=" + std::to_string(kWaitMs));
    const double cpuStart = bench::processorSeconds();
    const auto start = Clock::now();
    const int32_t result = client.load(address, true);
    const double wall = seconds(Clock::now() - start);
    const double cpu = bench::processorSeconds() - cpuStart;
    sim.control("/sim/delay?ms=0");
    if (result != 0)
        std::fprintf(stderr, "delayed load gave %d\n", result);
    std::printf("  wait %.3f s, processor %.4f s\n", wall, cpu);
    return 100.0 * cpu / wall;
}

void reportWaitShare(const char* loopName, test::SimulatorProcess& sim, const Endpoints& endpoints,
                     const std::string& word)
{
    std::vector<double> shares;
    for (int i = 0; i < kRepetitions; ++i)
        shares.push_back(waitProcessorShare(sim, endpoints, word));
    std::printf("processor time while waiting %d ms on the %s (median of %d): %.2f %% of wall time (goal < "
                "0.5 %%)\n",
                kWaitMs, loopName, kRepetitions, bench::median(shares));
}

} // namespace

int main(int argc, char** argv)
{
    const std::string wordUtf8 = "ベンチ";
    test::SimulatorProcess sim({"--hits", wordUtf8 + "=10000"});
    if (!sim.start()) {
        std::fprintf(stderr, "the listing simulator did not start\n");
        return 1;
    }
    Endpoints endpoints;
    endpoints.listingBase = sim.baseUrl();
    const std::string word = platform::utf8ToSjis(wordUtf8);

    char configPath[] = "/tmp/bench-xmlclient-XXXXXX";
    const int fd = mkstemp(configPath);
    if (fd < 0)
        return 1;
    close(fd);
    {
        std::ofstream config(configPath);
        for (int page = 1; page <= kPages; ++page) {
            SearchRequest request;
            request.text = word;
            request.page = page;
            config << "url = \"" << *searchAddress(endpoints.listingBase, request)
                   << "\"\noutput = \"/dev/null\"\n";
        }
    }

    std::vector<double> ours;
    std::vector<double> theirs;
    for (int i = 0; i < kRepetitions; ++i) {
        ours.push_back(ourPagesPerSecond(endpoints, word));
        theirs.push_back(curlPagesPerSecond(configPath));
        std::printf("run %d: xmlclient %.0f pages/s, curl %.0f pages/s\n", i + 1, ours.back(), theirs.back());
    }
    unlink(configPath);
    const double oursMedian = bench::median(ours);
    const double theirsMedian = bench::median(theirs);
    std::printf(
        "search pages (%d per run, median of %d): xmlclient %.0f/s, curl %.0f/s, ratio %.2f (goal >= 0.80)\n",
        kPages, kRepetitions, oursMedian, theirsMedian, theirsMedian > 0 ? oursMedian / theirsMedian : 0.0);

    reportWaitShare("poll() loop", sim, endpoints, word);
#ifdef PELIMO_BENCH_QT_LOOP
    QCoreApplication app(argc, argv);
    platform::installQtEventPump();
    reportWaitShare("Qt loop", sim, endpoints, word);
#else
    (void)argc;
    (void)argv;
#endif
    return 0;
}
