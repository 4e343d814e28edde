// Prints how long a search's exclude words take to go over 20,000 listing titles (goal: under
// 20 ms), each title normalised and searched for every word as the result list and a saved
// search's run will do it; and, for comparison in the same run, the titles' normal forms alone.
#include "ExcludeBenchTexts.h"
#include "bench/support/Measure.h"
#include "platform/text/NormalizedTitle.h"
#include "platform/text/SjisText.h"
#include "search/exclude/ExcludeWords.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace {

using namespace pelimo;
using Clock = std::chrono::steady_clock;

constexpr size_t kTitles = 20000;
constexpr int kRepetitions = 15;

// The words of a '|'-separated list, split in UTF-8: in Shift-JIS '|' may be a trail byte.
std::vector<std::string> wordList(const char* sjis)
{
    const std::string all = platform::sjisToUtf8(sjis);
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= all.size()) {
        const size_t bar = all.find('|', start);
        const size_t end = bar == std::string::npos ? all.size() : bar;
        if (end > start)
            words.push_back(platform::utf8ToSjis(all.substr(start, end - start)));
        start = end + 1;
    }
    return words;
}

uint64_t nextRandom(uint64_t& state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

// Titles of 40 to 60 characters of mixed widths, as people write them: a decoration, maker,
// goods, model and one or two conditions, separated by blanks of either width.
std::vector<std::string> makeTitles()
{
    namespace t = excludebench;
    const std::vector<std::vector<std::string>> parts = {wordList(t::kDecorations), wordList(t::kMakers),
                                                         wordList(t::kGoods),       wordList(t::kModels),
                                                         wordList(t::kConditions),  wordList(t::kConditions)};
    const std::string wideBlank = "\x81\x40";
    uint64_t state = 0x9e3779b97f4a7c15ULL;
    std::vector<std::string> titles;
    titles.reserve(kTitles);
    for (size_t i = 0; i < kTitles; ++i) {
        std::string title;
        for (const std::vector<std::string>& words : parts) {
            if (!title.empty())
                title += nextRandom(state) % 3 == 0 ? wideBlank : std::string(" ");
            title += words[nextRandom(state) % words.size()];
        }
        title += " " + std::to_string(1000 + i); // a lot or serial number
        titles.push_back(std::move(title));
    }
    return titles;
}

double processorMilliseconds()
{
    return 1000.0 * static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

int main()
{
    const std::vector<std::string> titles = makeTitles();
    // The first title of a run fills the decoding table.
    const Clock::time_point firstStart = Clock::now();
    const std::string first = normalizedTitle(titles.front());
    const double firstMilliseconds =
        std::chrono::duration<double, std::milli>(Clock::now() - firstStart).count();
    if (first.empty())
        return 1;
    size_t bytes = 0;
    for (const std::string& title : titles)
        bytes += title.size();
    const ExcludeWords words(excludebench::kExcluded);

    std::vector<double> wall, processor, normalOnly;
    size_t excluded = 0;
    for (int i = 0; i < kRepetitions; ++i) {
        const double processorStart = processorMilliseconds();
        const Clock::time_point start = Clock::now();
        size_t count = 0;
        for (const std::string& title : titles)
            count += words.excludes(title) ? 1 : 0;
        wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        processor.push_back(processorMilliseconds() - processorStart);
        if (i > 0 && count != excluded) {
            std::fprintf(stderr, "the same titles gave %zu, then %zu excluded\n", excluded, count);
            return 1;
        }
        excluded = count;

        std::string folded;
        size_t keep = 0;
        const Clock::time_point normalStart = Clock::now();
        for (const std::string& title : titles) {
            normalizeTitle(title, folded);
            keep += folded.size();
        }
        normalOnly.push_back(std::chrono::duration<double, std::milli>(Clock::now() - normalStart).count());
        if (keep == 0)
            return 1;
    }
    if (excluded == 0 || excluded == titles.size()) {
        std::fprintf(stderr, "the words left out %zu of %zu titles: the benchmark measures nothing\n",
                     excluded, titles.size());
        return 1;
    }
    std::printf(
        "exclude %zu words over %zu titles (%.1f bytes each, %zu left out), median of %d: %.2f ms "
        "(goal < 20 ms), processor %.2f ms; the normal forms alone %.2f ms; the run's first title %.2f ms; "
        "load %s\n",
        words.words().size(), titles.size(), static_cast<double>(bytes) / static_cast<double>(titles.size()),
        excluded, kRepetitions, bench::median(wall), bench::median(processor), bench::median(normalOnly),
        firstMilliseconds, bench::loadAverages().c_str());
    return 0;
}
