#include "ListingColumnTexts.h"
#include "RecordingHost.h"
#include "TestTexts.h"
#include "WatchTexts.h"
#include "itempage/CRkHtmlView.h"
#include "platform/EventPump.h"
#include "platform/qt/PrivateMessage.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtText.h"
#include "platform/text/SjisText.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempFolder.h"
#include "watch/AramFile.h"
#include "watch/ui/CRkAramList.h"
#include "watch/ui/CRkAramTabCtrl.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTabBar>
#include <QtTest>
#include <cstdlib>
#include <memory>

using namespace pelimo;
using namespace pelimo::watch_test_text;

namespace {

ItemInfo listing(const std::string& no, const std::string& price, const std::string& remain)
{
    return ItemInfo{no, kNameCamera, price, "NO", "", "1", "1", remain};
}

QString q(const char* sjis)
{
    return platform::toQString(sjis);
}

} // namespace

class WatchUiTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        platform::installQtEventPump();
        QVERIFY(sim.start());
        endpoints.listingBase = sim.baseUrl();
        endpoints.itemPageBase = sim.baseUrl();
    }

    void init()
    {
        sim.control("/sim/reset");
        dir = std::make_unique<test::TempFolder>("pelimo-watchui");
        host = test::RecordingHost{};
        settings = EnvSettings{};
        settings.watchIntervalMinutes = 5;
        settings.remainingTimeMinutes = 5;
        settings.alarmOnRemainingTime = 1;
        settings.alarmChangesListColour = 1;
        settings.alarmTextColour = 0xffffff;
        settings.alarmBackColour = 0x0000ff;
        list = std::make_unique<CRkAramList>(nullptr, settings, endpoints, host, AlertMailer{}, dir->path());
        list->resize(800, 300);
    }

    void cleanup() { list.reset(); }

    void columnsAsDefined()
    {
        const char* headers[] = {column_text::kHeaderNo,    column_text::kHeaderName,
                                 column_text::kHeaderPrice, column_text::kHeaderType,
                                 column_text::kHeaderUnits, column_text::kHeaderBids,
                                 column_text::kHeaderRemain};
        const int widths[] = {80, 250, 80, 80, 80, 80, 100};
        QCOMPARE(list->columnCount(), 7);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(list->headerItem()->text(i), q(headers[i]));
            QCOMPARE(list->header()->sectionSize(i), widths[i]);
        }
        put(ItemInfo{"1", "a", kPriceYen1000, "FP", "", "2", "3", "-"});
        list->addEntry(ItemInfo{"1", "a", kPriceYen1000, "FP", "", "2", "3", "-"});
        QTreeWidgetItem* row = list->topLevelItem(0);
        // The remaining time shows as received for every type.
        QCOMPARE(row->text(6), QStringLiteral("-"));
        QCOMPARE(row->text(4), QStringLiteral("3"));
        QCOMPARE(row->text(5), QStringLiteral("2"));
        QVERIFY(row->textAlignment(2) & Qt::AlignRight);
        QVERIFY(row->textAlignment(3) & Qt::AlignHCenter);
        QVERIFY(row->textAlignment(1) & Qt::AlignLeft);
    }

    void addsAreUniqueAndAppendedUnsorted()
    {
        list->addEntry(listing("2", kPriceYen1500, kRemain2Hour));
        list->addEntry(listing("1", kPriceYen980, kRemain30Min));
        list->addEntry(listing("2", "1", "-"));
        QCOMPARE(list->topLevelItemCount(), 2);

        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        list->sortByColumn(2); // descending
        QCOMPARE(rowNumbers(), (QStringList{QStringLiteral("2"), QStringLiteral("1")}));
        QCOMPARE(list->header()->sortIndicatorSection(), 2);
        QCOMPARE(list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(headerTriangle(2), QStringLiteral("down"));
        list->sortByColumn(2); // ascending: 980 before 1500
        QCOMPARE(rowNumbers(), (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
        QCOMPARE(list->header()->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(headerTriangle(2), QStringLiteral("up"));

        list->addEntry(listing("0", "5", kRemain30Sec));
        QCOMPARE(rowNumbers().last(), QStringLiteral("0"));
        // The entries keep the order of adding whatever the rows show.
        QCOMPARE(list->entries()[0].info.ItemNo, std::string("2"));

        // Each column keeps its own direction; the third click sorts descending again.
        list->sortByColumn(6);
        QCOMPARE(rowNumbers(), (QStringList{QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("0")}));
        list->addEntry(listing("9", "5", "-"));
        list->addEntry(listing("8", "5", kNameBook));
        list->sortByColumn(6); // ascending: texts without a unit first
        QCOMPARE(rowNumbers().mid(2),
                 (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}));
        list->sortByColumn(6);
        QCOMPARE(list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
        // The price column's third click: descending again.
        list->sortByColumn(2);
        QCOMPARE(list->header()->sortIndicatorSection(), 2);
        QCOMPARE(list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
        QCOMPARE(rowNumbers().first(), QStringLiteral("2"));
    }

    void alarmRowsTakeTheAlarmColours()
    {
        watch(listing("a", "1", kRemain30Sec));
        watch(listing("b", "1", kRemain3Day));
        list->watchList().runUpdateCycle();
        QVERIFY(list->entries()[0].inAlarm());
        const auto colours = list->rowAlarmColours(0);
        QVERIFY(colours.has_value());
        QCOMPARE(colours->first, QColor(255, 255, 255));
        QCOMPARE(colours->second, QColor(255, 0, 0));
        QVERIFY(!list->rowAlarmColours(1));

        // What is painted: the far end of the title cell has the alarm background.
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        const QImage image = list->viewport()->grab().toImage();
        const QRect alarmRow = list->visualItemRect(list->topLevelItem(0));
        const QRect quietRow = list->visualItemRect(list->topLevelItem(1));
        const int x = 80 + 240;
        QCOMPARE(image.pixelColor(x, alarmRow.center().y()), QColor(255, 0, 0));
        QVERIFY(image.pixelColor(x, quietRow.center().y()) != QColor(255, 0, 0));

        settings.alarmChangesListColour = 0;
        QVERIFY(!list->rowAlarmColours(0));
        QVERIFY(list->entries()[0].inAlarm());
        QCOMPARE(host.trayIcons.back(), kTrayIconAlarm);
    }

    void removeSelectedEntryClearsRowEntryMarkAndFile()
    {
        list->addEntry(listing("r1", "1", "-"));
        list->addEntry(listing("r2", "2", "-"));
        list->removeSelectedEntry(); // no selection mark: nothing
        QCOMPARE(list->topLevelItemCount(), 2);
        // A click on a row, then on the empty space below the rows: the row is no longer
        // selected (though Qt keeps it current), so nothing is removed.
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(0)).center());
        QVERIFY(list->topLevelItem(0)->isSelected());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, list->viewport()->height() - 5));
        QVERIFY(list->selectedItems().isEmpty());
        list->removeSelectedEntry();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(loadAramFile(dir->path()).records.size(), size_t{2});
        list->setCurrentItem(list->topLevelItem(0));
        list->removeSelectedEntry();
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->rowItemNo(0), std::string("r2"));
        QCOMPARE(list->isWatched("r1"), 0);
        QCOMPARE(host.unmarked, std::vector<std::string>{"r1"});
        const AramFileLoad file = loadAramFile(dir->path());
        QCOMPARE(file.records.size(), size_t{1});
        QCOMPARE(file.records[0].ItemNo, std::string("r2"));
    }

    void doubleClickIsRefusedDuringAnUpdate()
    {
        watch(listing("d1", "1", kRemain3Day));
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        list->setCurrentItem(list->topLevelItem(0));
        const QPoint centre = list->visualItemRect(list->topLevelItem(0)).center();
        host.onStatus = [&](const std::string& line) {
            if (!line.empty())
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
        };
        list->watchList().runUpdateCycle();
        QVERIFY(host.shown.empty());
        host.onStatus = {};
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(host.shown.size(), size_t{1});
        QCOMPARE(host.shown[0].first, 2);
        QCOMPARE(host.shown[0].second, listing("d1", "1", kRemain3Day));
    }

    void messagesStartAnUpdateAndAnswerTheExit()
    {
        watch(listing("u1", "1", kRemain3Day));
        platform::postMessage(list.get(), platform::AramUpdateNow{});
        QTRY_COMPARE(host.trayIcons.size(), size_t{1});
        QCOMPARE(host.closed, 0);
        platform::sendMessage(list.get(), platform::AramExitRequest{});
        QCOMPARE(host.closed, 1);
    }

    void timerRunsEveryIntervalAtLeastAMinute()
    {
        settings.watchIntervalMinutes = 0;
        list->createAramList();
        QVERIFY(list->timerActive());
        QCOMPARE(list->timerIntervalMs(), 60000);
        settings.watchIntervalMinutes = 7;
        list->restartTimer();
        QCOMPARE(list->timerIntervalMs(), 7 * 60000);
    }

    void destructionWritesTheLastUpdate()
    {
        watch(listing("w1", "1", kRemain3Day));
        sim.control("/sim/remove?ItemNo=w1");
        list->watchList().runUpdateCycle();
        list.reset();
        const AramFileLoad file = loadAramFile(dir->path());
        QCOMPARE(file.records.size(), size_t{1});
        QCOMPARE(file.records[0].CurrentPrice, std::string("-"));
        QCOMPARE(file.records[0].RemainTime, std::string("-"));
    }

    void listDestroyedDuringAnUpdateEndsTheCycleSafely()
    {
        watch(listing("g1", "1", kRemain3Day));
        watch(listing("g2", "2", kRemain3Day));
        sim.control("/sim/delay?ms=200");
        host.onStatus = [this](const std::string& line) {
            if (!line.empty())
                QTimer::singleShot(50, list.get(), [this] { list.reset(); }); // during the fetch
        };
        list->watchList().runUpdateCycle();
        host.onStatus = {};
        QVERIFY(!list);
        QCOMPARE(sim.requests().size(), size_t{1}); // g2 was never asked for
        QVERIFY(host.trayIcons.empty());
        QCOMPARE(loadAramFile(dir->path()).records.size(), size_t{2});
    }

    void alertTabsOpenOncePerListing()
    {
        CRkAramTabCtrl tabs(endpoints, nullptr);
        tabs.resize(600, 400);
        tabs.openItemPage(listing("t1", "1", "-"));
        QSignalSpy loaded(tabs.page(0), &QWebEngineView::loadFinished);
        tabs.openItemPage(listing("t2", "1", "-"));
        QCOMPARE(tabs.selectedTab(), 1);
        QTRY_COMPARE(loaded.count(), 1);
        QSignalSpy loads(tabs.page(0), &QWebEngineView::loadStarted);
        tabs.openItemPage(listing("t1", "1", "-"));
        QCOMPARE(tabs.tabCount(), 2);
        QCOMPARE(tabs.selectedTab(), 0);
        QCOMPARE(tabs.tabBar()->currentIndex(), 0);
        QVERIFY(tabs.page(0)->isVisibleTo(&tabs));
        QVERIFY(!tabs.page(1)->isVisibleTo(&tabs));
        QTest::qWait(200);
        QCOMPARE(loads.count(), 0);
        QCOMPARE(tabs.page(0)->geometry(), QRect(10, 25, 580, 370));
        QCOMPARE(tabs.tabBar()->tabText(1), QStringLiteral("t2"));
    }

    void alertTabsCloseRuleAndPageIds()
    {
        CRkAramTabCtrl tabs(endpoints, nullptr);
        tabs.resize(600, 400);
        for (const char* no : {"a", "b", "c"})
            tabs.openItemPage(listing(no, "1", "-"));
        auto closeAt = [&](int tab) {
            QCOMPARE(tabs.clickTabAt(tabs.tabBar()->tabRect(tab).center()), tab);
            tabs.runCommand(kCommandCloseTab);
        };
        // The shown middle tab of three: the former third comes in its place.
        tabs.openItemPage(listing("b", "1", "-"));
        closeAt(1);
        QCOMPARE(tabs.tabCount(), 2);
        QCOMPARE(tabs.tabItemNo(tabs.selectedTab()), std::string("c"));
        QVERIFY(tabs.page(tabs.selectedTab())->isVisibleTo(&tabs));
        // A tab to the right of the shown one: the selection stays.
        tabs.openItemPage(listing("a", "1", "-"));
        closeAt(1);
        QCOMPARE(tabs.tabItemNo(tabs.selectedTab()), std::string("a"));
        // Ids keep counting after closing: the fourth page is 20004.
        tabs.openItemPage(listing("d", "1", "-"));
        QCOMPARE(tabs.pageId(tabs.tabCount() - 1), 20004);
        // The shown last tab: the new last tab is shown.
        closeAt(1);
        QCOMPARE(tabs.selectedTab(), 0);
        QCOMPARE(tabs.tabItemNo(0), std::string("a"));
        QVERIFY(tabs.page(0)->isVisibleTo(&tabs));
        // A right-click beside the tabs: both commands do nothing.
        QCOMPARE(tabs.clickTabAt(QPoint(590, 10)), -1);
        tabs.runCommand(kCommandCloseTab);
        tabs.runCommand(kCommandReloadTab);
        QCOMPARE(tabs.tabCount(), 1);
    }

    void updateReloadsOnlyOpenTabsKeepingTheSelection()
    {
        CRkAramTabCtrl tabs(endpoints, nullptr);
        tabs.resize(600, 400);
        tabs.openItemPage(listing("s1", "1", "-"));
        tabs.openItemPage(listing("s2", "1", "-"));
        QSignalSpy firstLoaded(tabs.page(0), &QWebEngineView::loadFinished);
        QSignalSpy secondLoaded(tabs.page(1), &QWebEngineView::loadFinished);
        QTRY_COMPARE(firstLoaded.count(), 1);
        QTRY_COMPARE(secondLoaded.count(), 1);
        QSignalSpy first(tabs.page(0), &QWebEngineView::loadStarted);
        QSignalSpy second(tabs.page(1), &QWebEngineView::loadStarted);
        tabs.refreshItemPage(listing("s1", "2", "-"));
        tabs.refreshItemPage(listing("zz", "2", "-"));
        QTRY_COMPARE(first.count(), 1);
        QTest::qWait(200);
        QCOMPARE(second.count(), 0);
        QCOMPARE(tabs.selectedTab(), 1);
    }

private:
    // Which way the triangle at the left of a header section points, read from its pixels:
    // the widest row of a down triangle is its top one.
    QString headerTriangle(int section) const
    {
        QHeaderView* header = list->header();
        const QImage image = header->grab().toImage();
        const int left = header->sectionViewportPosition(section);
        int firstWidth = -1;
        int lastWidth = -1;
        for (int y = 0; y < image.height(); ++y) {
            const QColor face = image.pixelColor(left + 1, y);
            int lo = -1;
            int hi = -1;
            for (int x = left + 2; x < left + 26; ++x) {
                const QColor c = image.pixelColor(x, y);
                if (std::abs(c.red() - face.red()) + std::abs(c.green() - face.green()) +
                        std::abs(c.blue() - face.blue()) >
                    90) {
                    lo = lo < 0 ? x : lo;
                    hi = x;
                }
            }
            if (lo < 0)
                continue;
            if (firstWidth < 0)
                firstWidth = hi - lo;
            lastWidth = hi - lo;
        }
        if (firstWidth < 0)
            return QStringLiteral("none");
        return firstWidth > lastWidth ? QStringLiteral("down") : QStringLiteral("up");
    }

    void put(const ItemInfo& r)
    {
        auto enc = [](const std::string& sjis) {
            return test::percentEncode(platform::sjisToUtf8(sjis));
        };
        sim.control("/sim/put?ItemNo=" + enc(r.ItemNo) + "&ItemName=" + enc(r.ItemName) +
                    "&CurrentPrice=" + enc(r.CurrentPrice) + "&RemainTime=" + enc(r.RemainTime) +
                    "&AuctionType=" + r.AuctionType + "&BidNum=" + r.BidNum + "&ItemNum=" + r.ItemNum +
                    "&ImageUrl=");
    }
    void watch(const ItemInfo& r)
    {
        put(r);
        list->addEntry(r);
    }
    QStringList rowNumbers() const
    {
        QStringList out;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out << list->topLevelItem(i)->text(0);
        return out;
    }

    test::SimulatorProcess sim;
    Endpoints endpoints;
    std::unique_ptr<test::TempFolder> dir;
    test::RecordingHost host;
    EnvSettings settings;
    std::unique_ptr<CRkAramList> list;
};

QTEST_MAIN(WatchUiTest)
#include "WatchUiTest.moc"
