// Prints how long one watch cycle's saved searches take to tell new listings from seen ones
// at the limits: 20 searches, each run over its 1,000 listings against 5,000 seen ones, and
// how long their file takes to write and read.
#include "bench/support/Measure.h"
#include "search/saved/NewListingRules.h"
#include "search/saved/SavedSearchFile.h"
#include "search/saved/SavedSearchList.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <unistd.h>
#include <utility>

namespace {

using namespace pelimo;
using Clock = std::chrono::steady_clock;

constexpr size_t kSeenPerSearch = 5000;
constexpr size_t kNewPerRun = 100; // of the 1,000 listings of a run, the rest seen before
constexpr int kRepetitions = 11;

double processorMilliseconds()
{
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

ItemInfo listing(size_t search, size_t n)
{
    const std::string no = "s" + std::to_string(search) + "x" + std::to_string(1000000 + n);
    return ItemInfo{no, "name of listing " + no, "1200", "NO", "http://img/" + no + ".jpg", "3", "1", "2"};
}

} // namespace

int main()
{
    const SeenSet::Time now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const size_t searches = SavedSearchList::kMaxSearches;
    const size_t perRun = SavedSearchRun::kMaxListings;
    const size_t perPage = perRun / SavedSearchRun::kMaxPages;

    std::vector<SavedSearch> saved(searches);
    std::vector<std::vector<std::vector<ItemInfo>>> pages(searches);
    for (size_t s = 0; s < searches; ++s) {
        saved[s].request.text = "keyword " + std::to_string(s);
        saved[s].firstRunPending = false;
        for (size_t n = 0; n < kSeenPerSearch; ++n)
            saved[s].seen.markSeen(listing(s, n).ItemNo, now - std::chrono::hours(n % 500));
        // The run meets the newest of the seen listings and a hundred it has not seen.
        for (size_t n = 0; n < perRun; ++n) {
            if (n % perPage == 0)
                pages[s].emplace_back();
            pages[s].back().push_back(listing(s, kSeenPerSearch - (perRun - kNewPerRun) + n));
        }
    }

    std::vector<double> times, processor;
    for (int i = 0; i < kRepetitions; ++i) {
        // The pages arrive as the paging hands them over: each run takes them over.
        std::vector<SavedSearch> copy = saved;
        std::vector<std::vector<std::vector<ItemInfo>>> fetched = pages;
        size_t fresh = 0;
        const Clock::time_point start = Clock::now();
        const double processorStart = processorMilliseconds();
        for (size_t s = 0; s < searches; ++s) {
            SavedSearchRun run;
            for (size_t p = 0; p < pages[s].size(); ++p)
                run.addPage(std::move(fetched[s][p]), p + 1 < pages[s].size());
            fresh += applyRun(copy[s], run, now).newListings.size();
        }
        times.push_back(millisecondsSince(start));
        processor.push_back(processorMilliseconds() - processorStart);
        if (fresh != searches * kNewPerRun) {
            std::fprintf(stderr, "expected %zu new listings, found %zu\n", searches * kNewPerRun, fresh);
            return 1;
        }
    }
    // The processor time tells how much of the wall time a busy machine added.
    std::printf("new from seen, %zu searches x %zu listings against %zu x %zu seen (median of %d): %.2f ms "
                "(goal < 50 ms), processor %.2f ms\n",
                searches, perRun, searches, kSeenPerSearch, kRepetitions, bench::median(times),
                bench::median(processor));

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench-saved-search-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::vector<double> saves, loads;
    size_t bytes = 0;
    for (int i = 0; i < kRepetitions; ++i) {
        Clock::time_point start = Clock::now();
        if (!saveSavedSearchFile(saved, dir.string())) {
            std::fprintf(stderr, "the file could not be written\n");
            return 1;
        }
        saves.push_back(millisecondsSince(start));
        start = Clock::now();
        const SavedSearchFileLoad loaded = loadSavedSearchFile(dir.string(), now);
        loads.push_back(millisecondsSince(start));
        if (loaded.searches.size() != searches || loaded.searches.back().seen.size() != kSeenPerSearch) {
            std::fprintf(stderr, "the file did not load back\n");
            return 1;
        }
        bytes = std::filesystem::file_size(dir / kSavedSearchFileName);
    }
    std::filesystem::remove_all(dir);
    std::printf(
        "SearchList.xml of %zu x %zu seen listings, %zu bytes (median of %d): write %.1f ms, read %.1f ms\n",
        searches, kSeenPerSearch, bytes, kRepetitions, bench::median(saves), bench::median(loads));
    return 0;
}
