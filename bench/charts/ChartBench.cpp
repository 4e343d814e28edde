// Prints the time to build and show the chart window of one listing with 10,000 observations
// (a price step every few minutes, bids rising with it), painted once, as a person opening
// "価格の推移..." waits for it; median of several rounds, with the processor time beside it.
//
//   QT_QPA_PLATFORM=offscreen bench_chart [rounds]
#include "bench/support/Measure.h"
#include "history/ui/PriceChartWindow.h"

#include <QApplication>
#include <QChartView>
#include <QPixmap>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using namespace pelimo;
using SteadyClock = std::chrono::steady_clock;

constexpr int kObservations = 10000;

ListingHistory tenThousandObservations()
{
    ListingHistory history;
    history.known = true;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> step(0, 300);
    HistoryTime at{std::chrono::seconds(1735689600)};
    int64_t price = 1000;
    int64_t bids = 0;
    for (int i = 0; i < kObservations; ++i) {
        price += step(random);
        bids += 1;
        history.observations.push_back(Observation{at, price, bids, "1"});
        at += std::chrono::minutes(5);
    }
    history.endedAt = at;
    return history;
}

double millisecondsSince(SteadyClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const ListingHistory history = tenThousandObservations();

    std::vector<double> wall;
    std::vector<double> processor;
    for (int r = 0; r < rounds + 1; ++r) {
        const SteadyClock::time_point start = SteadyClock::now();
        const double cpuStart = bench::processorSeconds();
        auto* window = new PriceChartWindow(history, "bench", int64_t{1500000}, nullptr);
        window->show();
        QApplication::processEvents();
        // The first paint of the chart, as the window shows it.
        const QPixmap shown = window->chartView()->grab();
        const double ms = millisecondsSince(start);
        const double cpu = (bench::processorSeconds() - cpuStart) * 1000.0;
        if (shown.isNull())
            std::fputs("the chart did not paint\n", stderr);
        // The first round loads fonts and plugins once for the whole program; it is not counted.
        if (r > 0) {
            wall.push_back(ms);
            processor.push_back(cpu);
        }
        window->close();
        QApplication::processEvents();
    }
    std::printf("chart window of %d observations, built, shown and painted (%s, %d rounds)\n", kObservations,
                qPrintable(QApplication::platformName()), rounds);
    std::printf("  median %.1f ms wall, %.1f ms processor (goal: under 50 ms)\n", bench::median(wall),
                bench::median(processor));
    std::printf("  machine load: %s\n", bench::loadAverages().c_str());
    return 0;
}
