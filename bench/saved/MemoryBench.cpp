// Peak memory reading a SearchList.xml of 64 MiB: the file (2,000 searches with the listings
// each has seen) is read in a child process of its own, whose peak resident size (VmHWM) is
// set against the file's size; then the same for the save that follows a run.
#include "bench/support/Measure.h"
#include "search/saved/SavedSearchFields.h"
#include "search/saved/SavedSearchFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace pelimo;
using Clock = std::chrono::steady_clock;

constexpr size_t kFileBytes = size_t{64} << 20;
constexpr size_t kSearches = 2000;
constexpr int kRounds = 3;

// The file as the program writes it, streamed to disk so this process stays small.
size_t writeFile(const std::string& path)
{
    const std::string when =
        seenTimeText(std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n";
    const size_t perSearch = kFileBytes / kSearches;
    for (size_t s = 0; s < kSearches; ++s) {
        std::string search = "<SavedSearch>\n<Keyword>memory " + std::to_string(s) +
                             "</Keyword>\n<LotNumberMode>0</LotNumberMode>\n<AuctionTypes>\n</AuctionTypes>\n"
                             "<PriceLow>0</PriceLow>\n<PriceHigh>0</PriceHigh>\n<Seen>\n";
        const std::string end = "</Seen>\n</SavedSearch>\n";
        for (size_t n = 0; search.size() + end.size() < perSearch - 80; ++n)
            search += "<ItemNo lastSeen=\"" + when + "\">b" + std::to_string(1000000000 + s * 100000 + n) +
                      "</ItemNo>\n";
        search += end;
        out << search;
    }
    out << "</root>\n";
    out.flush();
    return out ? std::filesystem::file_size(path) : 0;
}

long peakKib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

struct Measured {
    long readPeakKib = -1;
    long savePeakKib = -1;
    double readSeconds = 0;
    double readProcessorSeconds = 0;
    long searches = 0;
    long listings = 0;
};

// Reads (and saves) in a child, which reports its figures through a pipe.
bool measure(const std::string& folder, Measured& m)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        Measured r;
        const Clock::time_point start = Clock::now();
        const double processorStart = bench::processorSeconds();
        const SavedSearchFileLoad load = loadSavedSearchFile(
            folder, std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now()));
        r.readSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        r.readProcessorSeconds = bench::processorSeconds() - processorStart;
        r.readPeakKib = peakKib();
        r.searches = static_cast<long>(load.searches.size());
        for (const SavedSearch& s : load.searches)
            r.listings += static_cast<long>(s.seen.size());
        if (load.outcome == SavedSearchFileLoad::Outcome::loaded &&
            saveSavedSearchFile(load.searches, folder))
            r.savePeakKib = peakKib();
        [[maybe_unused]] const ssize_t n = ::write(channel[1], &r, sizeof r);
        ::_exit(0);
    }
    ::close(channel[1]);
    const bool got = child > 0 && ::read(channel[0], &m, sizeof m) == static_cast<ssize_t>(sizeof m);
    ::close(channel[0]);
    int status = 0;
    if (child > 0)
        ::waitpid(child, &status, 0);
    return got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main()
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench-saved-memory-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / kSavedSearchFileName).string();
    const size_t bytes = writeFile(path);
    if (bytes == 0) {
        std::fprintf(stderr, "the file could not be written\n");
        return 1;
    }
    const std::string loadBefore = bench::loadAverages();
    std::vector<double> times, processor;
    long readPeak = 0, savePeak = 0;
    Measured m;
    for (int round = 0; round < kRounds; ++round) {
        if (!measure(dir.string(), m) || m.searches != static_cast<long>(kSearches) || m.savePeakKib < 0) {
            std::fprintf(stderr, "round %d: the file did not read and save back\n", round + 1);
            std::filesystem::remove_all(dir);
            return 1;
        }
        times.push_back(m.readSeconds);
        processor.push_back(m.readProcessorSeconds);
        readPeak = std::max(readPeak, m.readPeakKib);
        savePeak = std::max(savePeak, m.savePeakKib);
    }
    std::filesystem::remove_all(dir);
    const double mib = static_cast<double>(bytes) / (1 << 20);
    std::printf("SearchList.xml of %.1f MiB: %ld searches, %ld listings seen\n", mib, m.searches, m.listings);
    std::printf("peak memory reading it (highest of %d)   %.1f MiB, %.2f times the file (goal at most 4)\n",
                kRounds, readPeak / 1024.0, readPeak / 1024.0 / mib);
    std::printf("peak memory reading and saving it back   %.1f MiB, %.2f times the file\n", savePeak / 1024.0,
                savePeak / 1024.0 / mib);
    std::printf("reading it (median of %d)                %.2f s, processor %.2f s\n", kRounds,
                bench::median(times), bench::median(processor));
    std::printf("load averages                            before %s, after %s\n", loadBefore.c_str(),
                bench::loadAverages().c_str());
    return 0;
}
