// Prints what a year of price history costs: 1,000 watched listings polled every 5 minutes
// with a price change every two hours on average (one of them changing 10,000 times), and
// 100,000 ended listings in the archive. Figures: the file's size, opening it (the quick
// check beside the full integrity check), the write per watch cycle, a chart's read, the
// sparklines of the watch list, the archive's filter per key and the archive's CSV.
//
//   bench_history [folder]   keeps the generated history.db in the folder when one is given
#include "HistoryBenchTexts.h"
#include "bench/support/Measure.h"
#include "history/ArchiveFilter.h"
#include "history/HistoryCsv.h"
#include "history/HistoryStore.h"
#include "history/PriceStats.h"
#include "history/SqliteStatement.h"
#include "history/SqliteTransaction.h"
#include "platform/text/NormalizedTitle.h"
#include "platform/text/SjisText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace pelimo;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kWatched = 1000;
constexpr int kEnded = 100000;
constexpr int kChartObservations = 10000;
constexpr auto kPoll = 5min;
constexpr auto kMeanChange = 2h;
constexpr int kCycles = 51;
constexpr int kRepetitions = 21;

const HistoryTime kYearStart{std::chrono::seconds(1735689600)}; // 2025-01-01 00:00 UTC
const HistoryTime kYearEnd = kYearStart + std::chrono::days(365);

double millisecondsSince(SteadyClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

double processorMilliseconds()
{
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The wall time and the processor time of one run of the work: on a busy machine the wall
// time includes waiting for a processor, the processor time does not.
struct Run {
    double wall = 0;
    double processor = 0;
};

template <typename Work> Run timed(Work&& work)
{
    const SteadyClock::time_point start = SteadyClock::now();
    const double cpuStart = processorMilliseconds();
    work();
    return {millisecondsSince(start), processorMilliseconds() - cpuStart};
}

int64_t seconds(HistoryTime t)
{
    return t.time_since_epoch().count();
}

std::vector<std::string> splitWords(const std::string& text)
{
    std::vector<std::string> words;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

struct Generator {
    std::mt19937_64 random{20250301};
    std::vector<std::string> words = splitWords(platform::sjisToUtf8(history_bench_text::kTitleWords));
    std::vector<std::string> keywords = splitWords(platform::sjisToUtf8(history_bench_text::kKeywords));

    std::string title(int n)
    {
        std::string t;
        const int count = 4 + static_cast<int>(random() % 4);
        for (int i = 0; i < count; ++i)
            t += words[random() % words.size()] + " ";
        return t + "No." + std::to_string(n);
    }
    int64_t interval(std::chrono::seconds mean)
    {
        std::exponential_distribution<double> d(1.0 / static_cast<double>(mean.count()));
        return std::max<int64_t>(1, static_cast<int64_t>(d(random)));
    }
};

// Writes the year straight into the store's tables, in one transaction through prepared
// statements, as the store would have written it poll by poll.
bool generateYear(const std::string& path, std::vector<std::string>& watchedTitles)
{
    {
        HistoryStore store([] { return kYearEnd; });
        if (store.open(path, 365).outcome != HistoryFileOpen::Outcome::opened)
            return false;
    }
    SqliteDatabase db;
    if (!db.open(path, SqliteDatabase::Mode::readWrite).ok())
        return false;
    db.exec("PRAGMA journal_mode = WAL");
    Generator g;
    SqliteTransaction transaction(db);
    SqliteStatement search = db.prepare("INSERT INTO searches (id, keyword) VALUES (?1, ?2)");
    SqliteStatement listing = db.prepare(
        "INSERT INTO listings (id, item_no, title, title_key, auction_type, image_url, origin_search, "
        "first_seen, "
        "last_seen, last_price, last_bids, last_remain, ends_at, oldest_observation, ended_at, final_price, "
        "final_bids, confirmed) VALUES (?1, ?2, ?3, ?4, 'NO', ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?7, ?13, "
        "CASE WHEN ?13 IS NULL THEN NULL ELSE ?9 END, CASE WHEN ?13 IS NULL THEN NULL ELSE ?10 END, ?14)");
    SqliteStatement observation = db.prepare(
        "INSERT INTO observations (listing_id, at, price, bids, remain) VALUES (?1, ?2, ?3, ?4, ?5)");
    SqliteStatement foundBy = db.prepare("INSERT INTO found_by (search_id, listing_id) VALUES (?1, ?2)");
    const std::string remain = platform::sjisToUtf8(history_bench_text::kRemainDays);
    for (size_t k = 0; k < g.keywords.size(); ++k)
        search.bind(1, static_cast<int64_t>(k + 1)).bind(2, g.keywords[k]).run();

    const int64_t start = seconds(kYearStart);
    const int64_t end = seconds(kYearEnd);
    const int64_t poll = std::chrono::seconds(kPoll).count();
    for (int n = 1; n <= kWatched + kEnded; ++n) {
        const bool watched = n <= kWatched;
        const std::string title = g.title(n);
        if (watched)
            watchedTitles.push_back(platform::utf8ToSjis(title));
        // Watched listings live the whole year; ended ones a week somewhere in it.
        const int64_t first =
            watched ? start : start + static_cast<int64_t>(g.random() % (end - start - 8 * 86400));
        const int64_t last = watched ? end : first + 7 * 86400;
        const std::chrono::seconds mean = n == 1 ? std::chrono::seconds((end - start) / kChartObservations)
                                                 : std::chrono::seconds(watched ? kMeanChange : 48h);
        int64_t price = 1000 + static_cast<int64_t>(g.random() % 50000);
        int64_t bids = 0;
        for (int64_t at = first; at <= last;) {
            observation.bind(1, int64_t{n}).bind(2, at).bind(3, price).bind(4, bids).bind(5, remain);
            if (observation.run() != 0)
                return false;
            // The next change falls on a poll.
            at += std::max(poll, g.interval(mean) / poll * poll);
            price += 100 + static_cast<int64_t>(g.random() % 1000);
            ++bids;
        }
        const std::optional<int64_t> origin =
            watched || n % 3 == 0 ? std::nullopt : std::optional<int64_t>(1 + n % g.keywords.size());
        listing.bind(1, int64_t{n})
            .bind(2, "x" + std::to_string(1000000000 + n))
            .bind(3, title)
            .bind(4, normalizedTitle(platform::utf8ToSjis(title)))
            .bind(5, "http://127.0.0.1:8931/img/" + std::to_string(n) + ".jpg")
            .bind(6, origin)
            .bind(7, first)
            .bind(8, last)
            .bind(9, price)
            .bind(10, bids)
            .bind(11, remain)
            .bind(12, last + 3 * 86400);
        listing.bind(13, watched ? std::nullopt : std::optional<int64_t>(last))
            .bind(14, watched ? std::nullopt : std::optional<int64_t>(n % 5 != 0));
        if (listing.run() != 0)
            return false;
        if (origin && foundBy.bind(1, *origin).bind(2, int64_t{n}).run() != 0)
            return false;
    }
    if (!transaction.commit().ok())
        return false;
    db.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    return true;
}

Run timeCheck(const std::string& path, const char* pragma)
{
    SqliteDatabase db;
    db.open(path, SqliteDatabase::Mode::readOnly);
    std::optional<std::string> verdict;
    const Run run = timed([&] { verdict = db.queryText(pragma); });
    if (verdict != "ok")
        std::printf("  %s said: %s\n", pragma, verdict.value_or("nothing").c_str());
    return run;
}

void printOnce(const char* what, const Run& run)
{
    std::printf("%-46s %9.1f ms  (processor %8.1f ms)\n", what, run.wall, run.processor);
}

void printRuns(const char* what, const std::vector<Run>& runs, const char* goal)
{
    std::vector<double> wall, processor;
    for (const Run& r : runs) {
        wall.push_back(r.wall);
        processor.push_back(r.processor);
    }
    std::printf("%-46s median %8.2f ms, longest %8.2f ms  (processor: median %7.2f ms, longest %7.2f ms; %zu "
                "runs)%s%s\n",
                what, bench::median(wall), *std::max_element(wall.begin(), wall.end()),
                bench::median(processor), *std::max_element(processor.begin(), processor.end()), runs.size(),
                goal[0] ? "  goal: " : "", goal);
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path folder =
        argc > 1 ? fs::path(argv[1])
                 : fs::temp_directory_path() / ("pelimo-history-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string path = (folder / "history.db").string();
    fs::remove(path);
    std::printf("machine load before: %s\n", bench::loadAverages().c_str());

    std::vector<std::string> titles;
    bool generated = false;
    printOnce("generating the year (one transaction)",
              timed([&] { generated = generateYear(path, titles); }));
    if (!generated) {
        std::fprintf(stderr, "could not generate the year in %s\n", path.c_str());
        return 1;
    }
    std::printf("%-46s %9.1f MB\n", "history.db after a year",
                static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0));

    // Opening: the quick check the store runs, and the full check beside it.
    printOnce("PRAGMA quick_check (run at every start)", timeCheck(path, "PRAGMA quick_check"));
    printOnce("PRAGMA integrity_check (not run)", timeCheck(path, "PRAGMA integrity_check"));
    HistoryTime now = kYearEnd + 5min;
    HistoryStore store([&now] { return now; });
    HistoryFileOpen opened;
    printOnce("opening the store (check, prune a day)", timed([&] { opened = store.open(path, 364); }));
    if (opened.outcome != HistoryFileOpen::Outcome::opened) {
        std::fprintf(stderr, "the store did not open: %s\n", opened.status.message.c_str());
        return 1;
    }

    // The write per watch cycle: 1,000 listings, about one in 24 with a new price.
    std::mt19937_64 random(7);
    std::vector<ItemInfo> items(kWatched);
    for (int n = 0; n < kWatched; ++n) {
        const std::string itemNo = "x" + std::to_string(1000000001 + n);
        const Observation last = store.listingHistory(itemNo).observations.back();
        items[n] = ItemInfo{itemNo,
                            titles[n],
                            std::to_string(last.price.value_or(0)),
                            "NO",
                            "http://127.0.0.1:8931/img/" + std::to_string(n + 1) + ".jpg",
                            std::to_string(last.bids.value_or(0)),
                            "1",
                            history_bench_text::kRemainDays};
    }
    std::vector<Run> cycles;
    int64_t changes = 0;
    for (int c = 0; c < kCycles; ++c) {
        for (ItemInfo& item : items) {
            if (random() % 24 == 0)
                item.CurrentPrice = std::to_string(std::stoll(item.CurrentPrice) + 100);
        }
        BatchResult result;
        const Run run = timed([&] {
            HistoryBatch batch = store.openBatch(ListingOrigin::watchList());
            for (const ItemInfo& item : items)
                batch.record(item);
            result = store.commit(batch);
        });
        if (!result.status.ok()) {
            std::fprintf(stderr, "a cycle failed: %s\n", result.status.message.c_str());
            return 1;
        }
        if (c == 0) {
            printOnce("first cycle after opening (reads each listing)", run);
        } else {
            cycles.push_back(run);
            changes += result.observations;
        }
        now += kPoll;
    }
    printRuns("write per cycle of 1,000 listings", cycles, "under 5 ms");
    std::printf("  new observation rows per cycle: %.1f\n", static_cast<double>(changes) / (kCycles - 1));

    // A chart of the listing with 10,000 observations.
    std::vector<Run> charts;
    size_t points = 0;
    for (int i = 0; i < kRepetitions; ++i)
        charts.push_back(timed([&] { points = store.listingHistory("x1000000001").observations.size(); }));
    std::printf("chart of one listing: %zu observations\n", points);
    printRuns("  reading them", charts, "under 50 ms");

    std::vector<std::string> watchedNos;
    for (const ItemInfo& item : items)
        watchedNos.push_back(item.ItemNo);
    std::vector<Run> sparks;
    for (int i = 0; i < 3; ++i)
        sparks.push_back(timed([&] { store.sparklines(watchedNos, 60); }));
    printRuns("sparklines of 1,000 year-long listings", sparks, "");

    // The archive: its rows, and the filter as a title is typed into it, one key at a time.
    std::vector<ArchiveRow> rows;
    printOnce("loading the archive's 100,000 rows", timed([&] { rows = store.archiveRows(); }));
    std::unique_ptr<ArchiveFilter> filter;
    printOnce("building the filter over them",
              timed([&] { filter = std::make_unique<ArchiveFilter>(rows); }));
    const std::string typed = platform::sjisToUtf8(history_bench_text::kTypedFilter);
    std::vector<std::string> keys; // what the field holds after each key, Shift-JIS
    for (size_t i = 3; i <= typed.size(); i += 3)
        keys.push_back(platform::utf8ToSjis(typed.substr(0, i)));
    for (const char* more : {" n", " no", " no.", " no.7", " no.77"})
        keys.push_back(platform::utf8ToSjis(typed + more));
    std::vector<Run> perKey;
    int64_t shown = 0;
    for (int r = 0; r < 5; ++r) {
        for (const std::string& key : keys) {
            perKey.push_back(timed([&] {
                const std::vector<uint32_t> match = filter->matching(key);
                shown = finalPriceStats(rows, match).count;
            }));
        }
    }
    printRuns("archive filter per key, with its figures", perKey, "under 30 ms");
    std::printf("  rows left after the last key: %lld\n", static_cast<long long>(shown));

    // The CSV of the whole archive, as `--export-csv archive` writes it beside the program.
    const std::string csv = (folder / "archive.csv").string();
    std::vector<Run> exports;
    CsvExport exported;
    for (int i = 0; i < 5; ++i)
        exports.push_back(timed([&] { exported = exportArchiveCsv(path, csv); }));
    if (!exported.written) {
        std::fprintf(stderr, "the export failed: %s\n", exported.error.c_str());
        return 1;
    }
    printRuns("archive CSV of 100,000 rows (read, write)", exports, "under 1000 ms");
    std::printf("  CSV size: %.1f MB\n", static_cast<double>(fs::file_size(csv)) / (1024.0 * 1024.0));

    std::printf("machine load after: %s\n", bench::loadAverages().c_str());
    store.close();
    if (argc <= 1)
        fs::remove_all(folder);
    return 0;
}
