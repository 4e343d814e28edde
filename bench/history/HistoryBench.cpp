// Prints what a year of price history costs: 1,000 watched listings polled every 5 minutes
// with a price change every two hours on average (one of them changing 10,000 times), and
// 100,000 ended listings in the archive. Figures: the file's size, opening it (the quick
// check beside the full integrity check), the write per watch cycle, a chart's read, the
// sparklines of the watch list, the archive's filter per key and the archive's CSV.
//
//   bench_history [folder]   keeps the generated history.db in the folder when one is given
#include "HistoryBenchTexts.h"
#include "bench/history/YearOfHistory.h"
#include "bench/support/Measure.h"
#include "history/ArchiveFilter.h"
#include "history/HistoryCsv.h"
#include "history/HistoryStore.h"
#include "history/PriceStats.h"
#include "history/SqliteStatement.h"
#include "history/SqliteTransaction.h"
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
using namespace history_bench;
namespace fs = std::filesystem;

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
