// Prints how long the window's thread stalls for the history's two long reads, read in place
// beside read on the worker and handed over, in one run on the same year of history: the
// trends of the 1,000 watched listings at start, and the archive's 100,000 rows each time its
// pane is shown. The window's thread is played by a loop that runs what is handed to it; a
// stall is the longest single step it takes (a read in place, a post, a hand-over with the
// work the widget does on it: the trend table, the archive model's rows with their sort and
// filter index, built on the worker).
//
//   bench_history_window [folder]   keeps the generated history.db in the folder when given
#include "bench/history/YearOfHistory.h"
#include "bench/support/Measure.h"
#include "history/ArchiveFilter.h"
#include "history/HistoryReads.h"
#include "history/HistoryStore.h"
#include "history/ui/ArchiveModel.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace {

using namespace pelimo;
using namespace pelimo::history_bench;
namespace fs = std::filesystem;

constexpr int kRounds = 7;
constexpr size_t kTrendPoints = 90;

// The window's event loop: runs what the worker hands over, one task at a time, and keeps the
// longest step.
class WindowLoop {
public:
    HistoryReads::Deliver deliver()
    {
        return [this](HistoryReads::Task task) {
            std::lock_guard lock(mutex);
            arrived.push_back(std::move(task));
        };
    }
    // A step the window's thread takes itself.
    template <typename Work> void step(Work&& work) { longest = std::max(longest, timed(work).wall); }
    // Runs the handed-over tasks until done() holds.
    template <typename Done> void runUntil(Done&& done)
    {
        while (!done()) {
            std::vector<HistoryReads::Task> tasks;
            {
                std::lock_guard lock(mutex);
                tasks.swap(arrived);
            }
            if (tasks.empty())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            for (HistoryReads::Task& task : tasks)
                step(task);
        }
    }
    double takeLongest() { return std::exchange(longest, 0.0); }

private:
    std::mutex mutex;
    std::vector<HistoryReads::Task> arrived;
    double longest = 0;
};

using Trends = std::unordered_map<std::string, Sparkline>;

void showTrends(Trends& trends, const std::vector<std::string>& itemNos, std::vector<Sparkline> lines)
{
    for (size_t i = 0; i < itemNos.size() && i < lines.size(); ++i)
        trends[itemNos[i]] = std::move(lines[i]);
}

struct Figures {
    std::vector<double> before, after, shownAfter;
};

void print(const char* what, const Figures& f)
{
    std::printf("%-34s in place: median %7.1f ms, longest %7.1f ms | worker: median %6.2f ms, longest %6.2f "
                "ms; shown after %7.1f ms (median)\n",
                what, bench::median(f.before), *std::max_element(f.before.begin(), f.before.end()),
                bench::median(f.after), *std::max_element(f.after.begin(), f.after.end()),
                bench::median(f.shownAfter));
}

} // namespace

int main(int argc, char** argv)
{
    const fs::path folder =
        argc > 1 ? fs::path(argv[1])
                 : fs::temp_directory_path() / ("pelimo-history-window-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string path = (folder / "history.db").string();
    fs::remove(path);
    std::printf("machine load before: %s\n", bench::loadAverages().c_str());
    std::vector<std::string> titles;
    if (!generateYear(path, titles)) {
        std::fprintf(stderr, "could not generate the year in %s\n", path.c_str());
        return 1;
    }
    HistoryStore store([] { return kYearEnd + 5min; });
    if (store.open(path, 365).outcome != HistoryFileOpen::Outcome::opened) {
        std::fprintf(stderr, "the store did not open\n");
        return 1;
    }
    std::vector<std::string> itemNos;
    for (int n = 1; n <= kWatched; ++n)
        itemNos.push_back("x" + std::to_string(1000000000 + n));

    WindowLoop window;
    HistoryReads reads(path, window.deliver());
    Figures start, archive;
    for (int round = 0; round < kRounds; ++round) {
        // At start: the trends of every watched listing.
        Trends trends;
        window.step([&] { showTrends(trends, itemNos, store.sparklines(itemNos, kTrendPoints)); });
        start.before.push_back(window.takeLongest());

        trends.clear();
        bool arrived = false;
        const Run wait = timed([&] {
            window.step([&] {
                reads.read([&](const HistoryStore& s) { return s.sparklines(itemNos, kTrendPoints); },
                           [&](std::vector<Sparkline> lines) {
                               showTrends(trends, itemNos, std::move(lines));
                               arrived = true;
                           });
            });
            window.runUntil([&] { return arrived; });
        });
        start.after.push_back(window.takeLongest());
        start.shownAfter.push_back(wait.wall);

        // Showing the archive: its rows into the pane's model.
        ArchiveModel model;
        window.step([&] { model.setRows(store.archiveRows()); });
        archive.before.push_back(window.takeLongest());

        ArchiveModel shown;
        arrived = false;
        const Run archiveWait = timed([&] {
            window.step([&] {
                reads.read(
                    [](const HistoryStore& s) {
                        std::vector<ArchiveRow> rows = s.archiveRows();
                        ArchiveFilter index(rows);
                        return std::pair{std::move(rows), std::move(index)};
                    },
                    [&](std::pair<std::vector<ArchiveRow>, ArchiveFilter> read) {
                        shown.setRows(std::move(read.first), std::move(read.second));
                        arrived = true;
                    });
            });
            window.runUntil([&] { return arrived; });
        });
        archive.after.push_back(window.takeLongest());
        archive.shownAfter.push_back(archiveWait.wall);
        if (shown.rowCount() != model.rowCount() || trends.size() != itemNos.size()) {
            std::fprintf(stderr, "the worker read something else than the reads in place\n");
            return 1;
        }
    }
    std::printf("longest stall of the window's thread (%d rounds; worker: the post and the hand-over)\n",
                kRounds);
    print("trends of 1,000 listings at start", start);
    print("archive of 100,000 rows shown", archive);
    std::printf("machine load after: %s\n", bench::loadAverages().c_str());
    store.close();
    if (argc <= 1)
        fs::remove_all(folder);
    return 0;
}
