// Pictures of listings: decoding a picture of each kind, the disk cache's listing, reads and
// stores, a list of 20,000 rows scrolled with pictures fetched for the rows on screen (from a
// loopback server of pictures), a restart served from the disk cache, and a search's pages
// with and without pictures asked for beside them, and a real result list of 20,000 rows
// scrolled offscreen with its picture column on and off. Prints figures; asserts nothing.
#include "bench/support/Measure.h"
#include "pictures/PictureDiskCache.h"
#include "pictures/qt/PictureStore.h"
#include "platform/qt/PictureDecoder.h"
#include "platform/qt/QtEventPump.h"
#include "search/CRkItemList.h"
#include "search/ResultListModel.h"
#include "search/SearchListHost.h"
#include "settings/EnvSettings.h"
#include "tests/support/PictureServer.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempFolder.h"
#include "xmlclient/ListingQueries.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace pelimo;

constexpr int kRows = 20000;
constexpr int kRowsOnScreen = 25;
constexpr int kRowsPerFrame = 4;
constexpr int kScrolledRows = 2000;
constexpr int kFrameMs = 16;
constexpr int kPages = 200;

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

double msSince(const QElapsedTimer& clock)
{
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// A photograph's worth of detail: a gradient under noise, which makes the encoder work as a
// real picture does.
QByteArray picture(int width, int height, const char* format, int quality)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(30, 60, 120));
    gradient.setColorAt(1, QColor(230, 200, 90));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QRandomGenerator random(42);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = static_cast<int>(random.bounded(64)) - 32;
            const QRgb p = line[x];
            line[x] = qRgb(qBound(0, qRed(p) + noise, 255), qBound(0, qGreen(p) + noise, 255),
                           qBound(0, qBlue(p) + noise, 255));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes;
}

// The largest picture of the kind that stays under 2 MB.
QByteArray largestUnder2Mb(const char* format, int quality, double aspect)
{
    QByteArray best;
    for (int width = 400;; width = width * 11 / 10) {
        QByteArray bytes = picture(width, static_cast<int>(width / aspect), format, quality);
        if (bytes.size() > (2 << 20))
            return best;
        best = std::move(bytes);
    }
}

void benchDecoding(const QByteArray& typical)
{
    struct Kind {
        const char* name;
        QByteArray bytes;
    };
    const Kind kinds[] = {
        {"typical JPEG", typical},
        {"JPEG under 2 MB", largestUnder2Mb("JPG", 92, 4.0 / 3)},
        {"PNG under 2 MB", largestUnder2Mb("PNG", -1, 4.0 / 3)},
    };
    std::printf("decoding to 300 px and 48 px (median of 9, on one thread):\n");
    for (const Kind& kind : kinds) {
        QImageReader reader;
        QBuffer buffer;
        buffer.setData(kind.bytes);
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        const QSize size = reader.size();
        std::vector<double> times;
        size_t held = 0;
        for (int i = 0; i < 9; ++i) {
            QElapsedTimer clock;
            clock.start();
            const auto decoded = platform::decodePicture(kind.bytes);
            times.push_back(msSince(clock));
            if (decoded)
                held = static_cast<size_t>(decoded->thumbnail.sizeInBytes() + decoded->tooltip.sizeInBytes());
        }
        std::printf("  %-16s %5lld KB %4dx%-4d %7.2f ms, held %zu KB\n", kind.name,
                    static_cast<long long>(kind.bytes.size() / 1024), size.width(), size.height(),
                    bench::median(times), held / 1024);
    }
}

void benchDiskCache(const QByteArray& typical)
{
    test::TempFolder folder("bench-picture-cache");
    constexpr int kFiles = 5000;
    {
        pictures::PictureDiskCache filler(folder.path());
        const std::string small(2000, 'x');
        for (int n = 0; n < kFiles; ++n)
            filler.store("http://img.example/" + std::to_string(n), small);
    }
    std::vector<double> listing;
    for (int i = 0; i < 5; ++i) {
        pictures::PictureDiskCache cache(folder.path());
        QElapsedTimer clock;
        clock.start();
        cache.store("http://img.example/new", "first store lists the folder");
        listing.push_back(msSince(clock));
    }
    pictures::PictureDiskCache cache(folder.path());
    const std::string body = typical.toStdString();
    std::vector<double> stores;
    std::vector<double> reads;
    for (int i = 0; i < 50; ++i) {
        const std::string address = "http://img.example/typical/" + std::to_string(i);
        QElapsedTimer clock;
        clock.start();
        cache.store(address, body);
        stores.push_back(msSince(clock));
        clock.restart();
        const auto read = cache.read(address);
        reads.push_back(msSince(clock));
        if (!read || *read != body)
            std::fprintf(stderr, "a cached picture came back wrong\n");
    }
    std::printf("disk cache: first store listing %d files %.2f ms; a %lld KB picture: store %.3f ms, read "
                "%.3f ms (medians)\n",
                kFiles + 1, bench::median(listing), static_cast<long long>(typical.size() / 1024),
                bench::median(stores), bench::median(reads));
}

// Runs Qt's loop until the condition holds or the bound passes; false on the bound.
bool runUntil(const std::function<bool()>& condition, int boundMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > boundMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void benchScrolling(test::PictureServer& server)
{
    test::TempFolder folder("bench-picture-scroll");
    std::vector<std::string> addresses;
    for (int row = 0; row < kRows; ++row)
        addresses.push_back(server.url(std::to_string(row) + ".jpg"));
    const long rssBefore = statusKb("VmRSS");
    pictures::PictureStore::Options options;
    options.diskFolder = folder.path();
    auto store = std::make_unique<pictures::PictureStore>(options);
    const int list = 0;
    std::set<int> shown;
    int top = 0;
    double longestGap = 0;
    QElapsedTimer frameClock;
    frameClock.start();
    QTimer frames;
    frames.setTimerType(Qt::PreciseTimer);
    frames.setInterval(kFrameMs);
    QObject::connect(&frames, &QTimer::timeout, &frames, [&] {
        longestGap = std::max(longestGap, msSince(frameClock) - kFrameMs);
        frameClock.restart();
        // What a list's delegate does for each row it paints, and its scroll handler for the rest.
        std::vector<std::string> visible;
        for (int row = top; row < top + kRowsOnScreen; ++row) {
            shown.insert(row);
            visible.push_back(addresses[static_cast<size_t>(row)]);
        }
        store->showOnly(&list, visible);
        top += kRowsPerFrame;
        if (top + kRowsOnScreen > kScrolledRows)
            frames.stop();
    });
    QElapsedTimer clock;
    clock.start();
    frames.start();
    runUntil([&] { return !frames.isActive(); }, 120000);
    const double scrollMs = msSince(clock);
    const size_t duringScroll = store->counts().requested;
    runUntil([&] { return store->idle(); }, 60000);
    const auto counts = store->counts();
    std::printf("scrolling %d of %d rows, %d on screen, %d rows a %d ms frame (%.1f s):\n", kScrolledRows,
                kRows, kRowsOnScreen, kRowsPerFrame, kFrameMs, scrollMs / 1000);
    std::printf("  rows shown %zu, pictures fetched %zu (%zu while scrolling), failed %zu; fetched per row "
                "shown %.2f (goal <= 1 plus one screen ahead)\n",
                shown.size(), counts.requested, duringScroll, counts.failed,
                static_cast<double>(counts.requested) / static_cast<double>(shown.size()));
    std::printf("  longest frame lateness %.1f ms (goal < 16)\n", longestGap);
    std::printf("  decoded pictures held %zu KB; process memory %+ld KB against before the store\n",
                store->memoryBytes() / 1024, statusKb("VmRSS") - rssBefore);

    // A restart shows the last screen again: all of it from the disk cache.
    store.reset();
    const size_t requestsBefore = server.requests().size();
    store = std::make_unique<pictures::PictureStore>(options);
    std::vector<std::string> visible(addresses.begin() + (top - kRowsPerFrame),
                                     addresses.begin() + (top - kRowsPerFrame + kRowsOnScreen));
    QElapsedTimer restart;
    restart.start();
    store->showOnly(&list, visible);
    runUntil([&] { return store->idle(); }, 60000);
    std::printf("restart: a screen of %d rows in %.1f ms, %zu from the disk cache, %zu requests\n",
                kRowsOnScreen, msSince(restart), store->counts().fromCache,
                server.requests().size() - requestsBefore);
}

class NoWatchHost final : public SearchListHost {
public:
    bool isWatched(const std::string&) const override { return false; }
    void addToWatchList(const ItemInfo&) override {}
    void showItem(int32_t, const ItemInfo&) override {}
};

struct ListScroll {
    double longestFrameMs = 0;
    double medianFrameMs = 0;
    double frame95Ms = 0;
    size_t rowsShown = 0;
    int screen = 0;
    size_t fetched = 0;
    size_t pictureKb = 0;
    long memoryKb = 0;
};

// A result list of kRows rows in a window of the usual size, scrolled kRowsPerFrame rows a
// frame over kScrolledRows rows; a frame is the scroll, the list's painting and the events
// that came meanwhile (pictures arriving, their requests), timed together.
ListScroll scrollList(test::PictureServer& server, bool withPictures)
{
    test::TempFolder folder("bench-list-pictures");
    EnvSettings settings;
    settings.ext.showPictures = withPictures ? 1 : 0;
    const long rssBefore = statusKb("VmRSS");
    pictures::PictureStore::Options options;
    options.diskFolder = folder.path();
    auto store = std::make_unique<pictures::PictureStore>(options);
    Endpoints endpoints;
    NoWatchHost host;
    ListScroll result;
    {
        CRkItemList list(nullptr, CRkItemList::kFirstControlId, settings, endpoints, host);
        list.resize(900, 700);
        list.setPictures(*store);
        std::vector<ItemInfo> records(kRows);
        const std::string run = withPictures ? "on-" : "off-";
        for (int n = 0; n < kRows; ++n) {
            ItemInfo& r = records[static_cast<size_t>(n)];
            r.ItemNo = "b" + std::to_string(n);
            r.ItemName = "listing " + std::to_string(n) + " with a title of the usual length";
            r.CurrentPrice = std::to_string(1000 + n);
            r.ItemNum = "1";
            r.BidNum = "0";
            r.RemainTime = "2";
            r.ImageUrl = server.url(run + std::to_string(n) + ".jpg");
        }
        list.addPage(records);
        list.show();
        runUntil([&] { return store->idle(); }, 60000);
        std::set<int> shown;
        std::vector<double> frames;
        for (int top = 0; top + kRowsOnScreen <= kScrolledRows; top += kRowsPerFrame) {
            QElapsedTimer frame;
            frame.start();
            list.verticalScrollBar()->setValue(top);
            list.viewport()->repaint();
            QCoreApplication::processEvents();
            frames.push_back(msSince(frame));
            const int first = list.indexAt(QPoint(1, 0)).row();
            const int last = list.indexAt(QPoint(1, list.viewport()->height() - 1)).row();
            result.screen = std::max(result.screen, last - first + 1);
            for (int row = first; row <= last; ++row)
                shown.insert(row);
            // The rest of the frame goes to the transfers and the decoder, as on screen.
            runUntil([&] { return frame.elapsed() >= kFrameMs; }, kFrameMs);
        }
        runUntil([&] { return store->idle(); }, 60000);
        result.longestFrameMs = *std::max_element(frames.begin(), frames.end());
        result.medianFrameMs = bench::median(frames);
        std::sort(frames.begin(), frames.end());
        result.frame95Ms = frames[frames.size() * 95 / 100];
        result.rowsShown = shown.size();
        result.fetched = store->counts().requested;
        result.pictureKb = store->memoryBytes() / 1024;
        result.memoryKb = statusKb("VmRSS") - rssBefore;
    }
    return result;
}

void benchListScrolling(test::PictureServer& server)
{
    // A first run takes what any list takes once (fonts, styles, the heap's growth), so the two
    // measured after it differ only by the pictures.
    scrollList(server, false);
    const ListScroll off = scrollList(server, false);
    const ListScroll on = scrollList(server, true);
    std::printf("a result list of %d rows scrolled over %d rows, %d rows a %d ms frame, offscreen:\n", kRows,
                kScrolledRows, kRowsPerFrame, kFrameMs);
    for (const auto& [name, r] : {std::pair{"pictures off", &off}, std::pair{"pictures on", &on}}) {
        std::printf(
            "  %-12s longest frame %.1f ms (goal < 16), 95th percentile %.2f ms, median %.2f ms; rows shown "
            "%zu (%d a screen), pictures fetched %zu; decoded held %zu KB; memory %+ld KB\n",
            name, r->longestFrameMs, r->frame95Ms, r->medianFrameMs, r->rowsShown, r->screen, r->fetched,
            r->pictureKb, r->memoryKb);
    }
    std::printf("  pictures fetched against rows shown plus one screen: %zu of %zu (goal: no more)\n",
                on.fetched, on.rowsShown + static_cast<size_t>(on.screen));
    std::printf("  memory with pictures on against off: %+ld KB (goal <= 100 MB)\n",
                on.memoryKb - off.memoryKb);
}

// Seconds for the pages, one after another as a search takes them, each waited for in the loop.
double searchSeconds(const Endpoints& endpoints, const std::string& word)
{
    XmlDocumentClient client;
    QElapsedTimer clock;
    clock.start();
    for (int page = 1; page <= kPages; ++page) {
        SearchRequest request;
        request.text = word;
        request.page = page;
        if (client.load(*searchAddress(endpoints.listingBase, request), true) != 0) {
            std::fprintf(stderr, "page %d failed\n", page);
            return -1;
        }
    }
    return msSince(clock) / 1000;
}

void benchSearchBeside(test::PictureServer& server)
{
    test::SimulatorProcess sim({"--hits", "picturebench=10000"});
    if (!sim.start()) {
        std::fprintf(stderr, "the listing simulator did not start\n");
        return;
    }
    Endpoints endpoints;
    endpoints.listingBase = sim.baseUrl();
    std::vector<double> alone;
    std::vector<double> beside;
    size_t fetchedDuring = 0;
    for (int run = 0; run < 3; ++run) {
        alone.push_back(searchSeconds(endpoints, "picturebench"));
        pictures::PictureStore::Options options; // no disk cache: every picture comes over the wire
        pictures::PictureStore store(options);
        std::vector<std::string> wanted;
        for (int n = 0; n < 500; ++n)
            wanted.push_back(server.url("beside-" + std::to_string(run) + "-" + std::to_string(n)));
        const int list = 0;
        store.showOnly(&list, wanted);
        beside.push_back(searchSeconds(endpoints, "picturebench"));
        fetchedDuring += store.counts().requested;
        runUntil([&] { return store.idle(); }, 60000);
    }
    std::printf("search of %d pages (median of 3): alone %.3f s, with 500 pictures asked beside it %.3f s "
                "(ratio %.2f); pictures started during the search: %zu of 1500\n",
                kPages, bench::median(alone), bench::median(beside),
                bench::median(beside) / bench::median(alone), fetchedDuring);
}

} // namespace

int main(int argc, char** argv)
{
    // The list is drawn offscreen unless a display is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::installQtEventPump();
    std::printf("machine load before: %s\n", bench::loadAverages().c_str());
    const QByteArray typical = picture(640, 480, "JPG", 85);
    benchDecoding(typical);
    benchDiskCache(typical);
    test::PictureServer server;
    if (!server.running())
        return 1;
    server.setBody([typical = typical.toStdString()](const std::string&) { return typical; });
    benchScrolling(server);
    benchListScrolling(server);
    benchSearchBeside(server);
    std::printf("machine load after: %s\n", bench::loadAverages().c_str());
    return 0;
}
