#pragma once

#include "history/HistoryRecords.h"

#include <chrono>
#include <string>
#include <vector>

// The year of history both history benchmarks measure on, and how they time and print.
namespace pelimo::history_bench {

using namespace std::chrono_literals;

constexpr int kWatched = 1000;
constexpr int kEnded = 100000;
constexpr int kChartObservations = 10000;
constexpr auto kPoll = 5min;
constexpr auto kMeanChange = 2h;
constexpr int kCycles = 51;
constexpr int kRepetitions = 21;

inline const HistoryTime kYearStart{std::chrono::seconds(1735689600)}; // 2025-01-01 00:00 UTC
inline const HistoryTime kYearEnd = kYearStart + std::chrono::days(365);

// The wall time and the processor time of one run of the work: on a busy machine the wall
// time includes waiting for a processor, the processor time does not.
struct Run {
    double wall = 0;
    double processor = 0;
};

double millisecondsSince(std::chrono::steady_clock::time_point start);
double processorMilliseconds();

template <typename Work> Run timed(Work&& work)
{
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = processorMilliseconds();
    work();
    return {millisecondsSince(start), processorMilliseconds() - cpuStart};
}

// Writes the year straight into the store's tables at path: kWatched listings polled all year
// (the first with kChartObservations changes) and kEnded ended ones. The watched listings'
// titles, Shift-JIS, go to watchedTitles; their numbers are "x" and 1000000001 onwards.
bool generateYear(const std::string& path, std::vector<std::string>& watchedTitles);

void printOnce(const char* what, const Run& run);
void printRuns(const char* what, const std::vector<Run>& runs, const char* goal);

} // namespace pelimo::history_bench
