// Loads on Qt's event loop, as the program runs them: a transfer keeps moving in whatever
// loop runs on top of its wait, and a started load completes with no wait of ours at all.
#include "platform/qt/QtEventPump.h"
#include "tests/support/SimulatorProcess.h"
#include "xmlclient/ListingQueries.h"

#include <QDialog>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <memory>

namespace pelimo {

using namespace std::chrono_literals;

class QtLoopLoadTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::SimulatorProcess> sim;
    std::unique_ptr<test::SimulatorProcess> slowSim; // every answer after 3 s
    Endpoints endpoints;
    SearchRequest request;
    std::string address;

private slots:
    void initTestCase()
    {
        platform::installQtEventPump();
        sim = std::make_unique<test::SimulatorProcess>(std::vector<std::string>{"--hits", "qtloop=25"});
        slowSim = std::make_unique<test::SimulatorProcess>(
            std::vector<std::string>{"--hits", "qtloop=25", "--delay-ms", "3000"});
        QVERIFY(sim->start());
        QVERIFY(slowSim->start());
        endpoints.listingBase = sim->baseUrl();
        request.text = "qtloop";
        address = *searchAddress(endpoints.listingBase, request);
    }

    void init() { QVERIFY(sim->control("/sim/reset").has_value()); }

    void transferMovesInsideALongerNestedLoop_data()
    {
        QTest::addColumn<bool>("dialog");
        QTest::newRow("modal dialog") << true;
        QTest::newRow("another list's load") << false;
    }

    // The answer comes after 1 s; the nested loop lasts 3 s, past the 2 s bound.
    void transferMovesInsideALongerNestedLoop()
    {
        QFETCH(bool, dialog);
        QVERIFY(sim->control("/sim/delay?ms=1000").has_value());
        XmlDocumentClient client(LoadLimits{2s, LoadLimits::kDefaultMaxBytes, 10s});
        int32_t nested = 99;
        QTimer::singleShot(0, this, [&] {
            if (dialog) {
                QDialog box;
                QTimer::singleShot(3000, &box, &QDialog::accept);
                nested = box.exec() == QDialog::Accepted ? 0 : 1;
            } else {
                XmlDocumentClient inner;
                nested = inner.load(*searchAddress(slowSim->baseUrl(), request), true);
            }
        });
        QCOMPARE(client.load(address, true), 0);
        QCOMPARE(nested, 0);
        NodeCursor cursor;
        QCOMPARE(client.selectNodes("//ListingInfo/ItemInfo", cursor), 10);
    }

    void startedLoadCompletesInTheEventLoop()
    {
        QVERIFY(sim->control("/sim/delay?ms=200").has_value());
        XmlDocumentClient client;
        int32_t result = 99;
        int32_t total = -1;
        int32_t current = -1;
        QCOMPARE(startSearchListing(client, endpoints, request,
                                    [&](int32_t r, int32_t t, int32_t c) {
                                        result = r;
                                        total = t;
                                        current = c;
                                    }),
                 0);
        QVERIFY(client.isLoading());
        QTRY_COMPARE(result, 0);
        QCOMPARE(total, 3);
        QCOMPARE(current, 1);
        std::vector<ItemInfo> rows;
        QCOMPARE(parseListingItems(client, rows), 10);

        // Stopped while the service holds it: the next load starts at once on the same client.
        QVERIFY(sim->control("/sim/fault?mode=hang&count=1").has_value());
        int32_t stopped = 99;
        QCOMPARE(client.startLoad(address, [&](int32_t r) { stopped = r; }), 0);
        QTRY_COMPARE(sim->requests().size(), size_t(2));
        client.abortLoad();
        QCOMPARE(stopped, 1);
        QVERIFY(!client.isLoading());
        result = 99;
        QCOMPARE(client.startLoad(address, [&](int32_t r) { result = r; }), 0);
        QTRY_COMPARE(result, 0);
    }
};

} // namespace pelimo

QTEST_MAIN(pelimo::QtLoopLoadTest)
#include "QtLoopLoadTest.moc"
