// The pictures of a result list: a list of 500 rows asks only for the pictures of the rows it
// shows and a screen below them, scrolling asks for the new ones and not for those it passed,
// the list of a restarted program takes them from the disk cache, and with the setting off the
// list asks for none. Rows that stream in page after page get pictures only for what stays on
// screen, not for every row that passed through it.
#include "pictures/qt/ListPictures.h"

#include "pictures/qt/PictureStore.h"
#include "platform/qt/QtEventPump.h"
#include "search/CRkItemList.h"
#include "search/ResultListModel.h"
#include "search/SearchListHost.h"
#include "settings/EnvSettings.h"
#include "tests/support/PictureServer.h"
#include "tests/support/TempFolder.h"
#include "xmlclient/Endpoints.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QtTest>
#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace pelimo {
namespace {

constexpr int kRows = 500;

class NoWatchHost final : public SearchListHost {
public:
    bool isWatched(const std::string&) const override { return false; }
    void addToWatchList(const ItemInfo&) override {}
    void showItem(int32_t, const ItemInfo&) override {}
};

std::string photo()
{
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(QColor(200, 60, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// The names of the rows from first to last, as the server is asked for them.
std::set<std::string> namesOfRows(int first, int last)
{
    std::set<std::string> names;
    for (int row = first; row <= last; ++row)
        names.insert(std::to_string(row));
    return names;
}

// A result list of kRows listings, each with its own picture on the server, on screen.
struct ShownList {
    ShownList(const EnvSettings& settings, pictures::PictureStore& store, const test::PictureServer& server)
        : list(nullptr, CRkItemList::kFirstControlId, settings, endpoints, host)
    {
        list.resize(900, 420);
        list.setPictures(store);
        std::vector<ItemInfo> records(kRows);
        for (int i = 0; i < kRows; ++i) {
            records[static_cast<size_t>(i)].ItemNo = "p" + std::to_string(i);
            records[static_cast<size_t>(i)].ItemName = "listing " + std::to_string(i);
            records[static_cast<size_t>(i)].ImageUrl = server.url(std::to_string(i));
        }
        list.addPage(records);
        list.show();
    }

    int firstShown() const { return list.indexAt(QPoint(1, 0)).row(); }
    int lastShown() const
    {
        const int row = list.indexAt(QPoint(1, list.viewport()->height() - 1)).row();
        return row < 0 ? list.rows().rowCount() - 1 : row;
    }

    Endpoints endpoints;
    NoWatchHost host;
    CRkItemList list;
};

std::set<std::string> asked(test::PictureServer& server)
{
    const std::vector<std::string> names = server.requests();
    return {names.begin(), names.end()};
}

} // namespace

class ListPicturesTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::installQtEventPump(); }

    void aListAsksOnlyForWhatItShowsAndARestartReadsTheCache()
    {
        test::PictureServer server;
        QVERIFY(server.running());
        const std::string body = photo();
        server.setBody([body](const std::string&) { return body; });
        test::TempFolder folder("list-pictures");
        EnvSettings settings;
        settings.ext.showPictures = 1;
        pictures::PictureStore::Options options;
        options.diskFolder = folder.path();

        auto store = std::make_unique<pictures::PictureStore>(options);
        auto shown = std::make_unique<ShownList>(settings, *store, server);
        QTRY_VERIFY_WITH_TIMEOUT(!server.requests().empty() && store->idle(), 30000);
        const int first = shown->firstShown();
        const int last = shown->lastShown();
        const int screen = last - first + 1;
        QVERIFY(screen > 2 && screen < kRows / 4);
        // The rows on screen and at most one screen below them, nothing else.
        QCOMPARE(asked(server), namesOfRows(first, last + screen));
        QVERIFY(!store->held(server.url(std::to_string(first)), pictures::PictureStore::Size::thumbnail)
                     .isNull());
        // The thumbnail column is drawn from what came.
        const QRect cell = shown->list.visualRect(shown->list.rows().index(first, kColumnPicture));
        const QImage drawn = shown->list.viewport()->grab(cell).toImage();
        QCOMPARE(drawn.pixelColor(drawn.rect().center()), QColor(200, 60, 40));

        // To the end: the last rows are asked for, the ones scrolled past never.
        shown->list.scrollToBottom();
        QTRY_VERIFY_WITH_TIMEOUT(asked(server).count(std::to_string(kRows - 1)) == 1 && store->idle(), 30000);
        const std::set<std::string> afterScroll = asked(server);
        std::set<std::string> expected = namesOfRows(first, last + screen);
        const std::set<std::string> bottom = namesOfRows(shown->firstShown(), kRows - 1);
        expected.insert(bottom.begin(), bottom.end());
        QCOMPARE(afterScroll, expected);

        // A restart: the same rows on a new store over the same folder come from the disk.
        shown.reset();
        store = std::make_unique<pictures::PictureStore>(options);
        const size_t fetched = server.requests().size();
        shown = std::make_unique<ShownList>(settings, *store, server);
        QTRY_VERIFY_WITH_TIMEOUT(store->counts().fromCache > 0 && store->idle(), 30000);
        QCOMPARE(server.requests().size(), fetched);
        QCOMPARE(store->counts().fromCache, static_cast<size_t>(2 * screen));

        // With the setting off the column is hidden and nothing is asked for.
        shown.reset();
        settings.ext.showPictures = 0;
        test::PictureServer quiet;
        store = std::make_unique<pictures::PictureStore>(pictures::PictureStore::Options{});
        shown = std::make_unique<ShownList>(settings, *store, quiet);
        QTest::qWait(300);
        QVERIFY(shown->list.isColumnHidden(kColumnPicture));
        QVERIFY(quiet.requests().empty());
        QVERIFY(store->idle());
    }

    void rowsStreamingInAskOnlyForWhatStaysOnScreen()
    {
        test::PictureServer server;
        QVERIFY(server.running());
        const std::string body = photo();
        server.setBody([body](const std::string&) { return body; });
        EnvSettings settings;
        settings.ext.showPictures = 1;
        pictures::PictureStore store(pictures::PictureStore::Options{});
        Endpoints endpoints;
        NoWatchHost host;
        CRkItemList list(nullptr, CRkItemList::kFirstControlId, settings, endpoints, host);
        list.resize(900, 420);
        list.setPictures(store);
        list.show();
        // Each page goes in at the top, as a search's pages do, a moment after the one before;
        // every page changes the rows on screen.
        constexpr int kPages = 80;
        constexpr int kPageRows = 10;
        for (int page = 0; page < kPages; ++page) {
            std::vector<ItemInfo> records(kPageRows);
            for (int i = 0; i < kPageRows; ++i) {
                const std::string name = std::to_string(page * kPageRows + i);
                records[static_cast<size_t>(i)].ItemNo = "s" + name;
                records[static_cast<size_t>(i)].ItemName = "listing " + name;
                records[static_cast<size_t>(i)].ImageUrl = server.url(name);
            }
            list.addPage(records);
            QTest::qWait(10);
        }
        // The rows shown at the end and a screen below them are asked for.
        const int first = list.indexAt(QPoint(1, 0)).row();
        const int last = list.indexAt(QPoint(1, list.viewport()->height() - 1)).row();
        QVERIFY(first == 0 && last > 2);
        const int ahead = last + (last - first + 1);
        std::set<std::string> expected;
        for (int row = first; row <= ahead; ++row)
            expected.insert(list.rows().index(row, kColumnItemNo).data().toString().mid(1).toStdString());
        const auto allExpectedAsked = [&] {
            const std::set<std::string> names = asked(server);
            return std::includes(names.begin(), names.end(), expected.begin(), expected.end());
        };
        QTRY_VERIFY_WITH_TIMEOUT(allExpectedAsked() && store.idle(), 30000);
        // Rows that only passed through the screen are not: a moment's stall of a busy machine
        // or the longest wait may ask for a few screens on the way, never for every page.
        QVERIFY2(asked(server).size() < expected.size() * 5,
                 qPrintable(QStringLiteral("%1 pictures asked for").arg(asked(server).size())));
    }
};

} // namespace pelimo

QTEST_MAIN(pelimo::ListPicturesTest)
#include "ListPicturesTest.moc"
