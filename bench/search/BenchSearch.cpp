// One search of 2,000 pages into one result list, beside curl fetching the same addresses,
// then the sorts of the 20,000 rows. Prints figures; asserts nothing.

#include "BenchTexts.h"
#include "SearchTexts.h"
#include "bench/support/Measure.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtText.h"
#include "platform/text/SjisText.h"
#include "search/CRkItemList.h"
#include "search/CRkTabCtrl.h"
#include "search/ResultListModel.h"
#include "search/SearchListHost.h"
#include "settings/EnvSettings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/SimulatorProcess.h"
#include "xmlclient/ListingQueries.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace pelimo;

// The figures are for 2,000 pages; a shorter run (first argument) helps profiling.
int kPages = 2000;

// Counts the frames that show the result list: the paints of its viewport.
class FrameCounter final : public QObject {
public:
    int frames = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++frames;
        return QObject::eventFilter(watched, e);
    }
};

class NullHost final : public SearchListHost {
public:
    bool isWatched(const std::string&) const override { return false; }
    void addToWatchList(const ItemInfo&) override {}
    void showItem(int32_t, const ItemInfo&) override {}
};

// A line of /proc/self/status in kB, e.g. VmHWM.
long statusKb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::atol(line.c_str() + prefix.size());
    }
    return -1;
}

// Runs curl once over every address, bodies thrown away; seconds, or -1.
double curlSeconds(const std::vector<std::string>& urls)
{
    std::vector<std::string> args = {"curl", "-s"};
    for (const std::string& url : urls) {
        args.push_back("-o");
        args.push_back("/dev/null");
        args.push_back(url);
    }
    QElapsedTimer clock;
    clock.start();
    test::ChildProcess curl;
    if (!curl.start(args) || curl.wait(std::chrono::minutes(10)) != 0)
        return -1;
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1)
        kPages = std::max(1, std::atoi(argv[1]));
    platform::installQtEventPump();

    const std::string word = searchbench::kBenchWord;
    test::SimulatorProcess sim({"--hits", platform::sjisToUtf8(word) + "=" + std::to_string(kPages * 10)});
    if (!sim.start()) {
        std::fprintf(stderr, "the listing simulator did not start\n");
        return 1;
    }
    Endpoints endpoints;
    endpoints.listingBase = sim.baseUrl();
    endpoints.itemPageBase = sim.baseUrl();
    EnvSettings settings;
    NullHost host;
    QObject frame;

    QWidget window;
    window.resize(1000, 700);
    auto* tabs = new CRkTabCtrl(&window, settings, endpoints, host, &frame);
    tabs->setGeometry(0, 0, 1000, 700);
    window.show();
    for (int i = 0; i < 20; ++i)
        app.processEvents();
    const long baseHwmKb = statusKb("VmHWM");
    const long baseRssKb = statusKb("VmRSS");

    // The longest stretch in which no event was handled while the pages come in.
    QElapsedTimer gapClock;
    qint64 lastTick = -1;
    qint64 longestGapNs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        const qint64 now = gapClock.nsecsElapsed();
        if (lastTick >= 0)
            longestGapNs = std::max(longestGapNs, now - lastTick);
        lastTick = now;
    });

    SearchRequest request;
    request.text = word;
    const QString done = [] {
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, searchtext::kStatusComplete, kPages, kPages);
        return platform::toQString(buffer);
    }();

    FrameCounter frameCounter;
    QElapsedTimer clock;
    const double cpuBefore = bench::processorSeconds();
    clock.start();
    gapClock.start();
    ticker.start();
    tabs->newSearch(request)->viewport()->installEventFilter(&frameCounter);
    while (tabs->statusText() != done && clock.elapsed() < 600000)
        app.processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double oursSeconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    ticker.stop();
    const int frames = frameCounter.frames;
    const double oursCpu = bench::processorSeconds() - cpuBefore;
    CRkItemList* list = tabs->listOfTab(0);
    const int rows = list ? list->rows().rowCount() : 0;

    std::vector<std::string> urls;
    for (int page = 1; page <= kPages; ++page) {
        SearchRequest r = request;
        r.page = page;
        if (auto address = searchAddress(endpoints.listingBase, r))
            urls.push_back(*address);
    }
    const double curl = curlSeconds(urls);

    auto sortMs = [&](int column) {
        QElapsedTimer t;
        t.start();
        list->sortByColumn(column);
        return static_cast<double>(t.nsecsElapsed()) / 1e6;
    };
    const double priceMs = list ? sortMs(kColumnPrice) : -1;
    const double remainMs = list ? sortMs(kColumnRemainTime) : -1;
    for (int i = 0; i < 5; ++i)
        app.processEvents();
    const long peakKb = statusKb("VmHWM");

    std::printf("rows loaded:                    %d (status %s)\n", rows,
                tabs->statusText() == done ? "complete" : "NOT complete");
    std::printf("search of %d pages:           %.2f s (processor %.2f s, load %s)\n", kPages, oursSeconds,
                oursCpu, bench::loadAverages().c_str());
    std::printf("curl, same %zu addresses:     %.2f s (ours / curl = %.2f)\n", urls.size(), curl,
                curl > 0 ? oursSeconds / curl : 0.0);
    std::printf("sort %d rows by price:          %.1f ms\n", rows, priceMs);
    std::printf("sort %d rows by remaining:      %.1f ms\n", rows, remainMs);
    std::printf(
        "peak memory beyond empty window: %.1f MB (VmHWM %ld kB, empty window RSS %ld kB, HWM %ld kB)\n",
        static_cast<double>(peakKb - baseRssKb) / 1024.0, peakKb, baseRssKb, baseHwmKb);
    std::printf("longest gap between events:     %.1f ms\n", static_cast<double>(longestGapNs) / 1e6);
    std::printf("frames drawn during the search: %d (%.0f a second)\n", frames,
                oursSeconds > 0 ? frames / oursSeconds : 0.0);
    return 0;
}
