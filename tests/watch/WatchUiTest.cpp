#include "ListingColumnTexts.h"
#include "RecordingHost.h"
#include "RecordingNotifier.h"
#include "TestTexts.h"
#include "WatchTexts.h"
#include "history/HistoryCsv.h"
#include "history/HistoryFile.h"
#include "history/HistoryStore.h"
#include "history/ui/SparklineDelegate.h"
#include "itempage/CRkHtmlView.h"
#include "itempage/ItemPageAddress.h"
#include "itempage/ItemPageModule.h"
#include "listing/ListingColumns.h"
#include "pictures/qt/PictureStore.h"
#include "platform/EventPump.h"
#include "platform/qt/MessageBox.h"
#include "platform/qt/PrivateMessage.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtText.h"
#include "platform/text/SjisText.h"
#include "platform/text/TextFill.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempFolder.h"
#include "watch/AramFile.h"
#include "watch/PriceCeilings.h"
#include "watch/ui/CRkAramList.h"
#include "watch/ui/CRkAramTabCtrl.h"
#include "watch/ui/CRkCeilingDlg.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QtTest>
#include <algorithm>
#include <climits>
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
        setItemPageModulePath(PELIMO_ITEMPAGE_MODULE_PATH);
        QVERIFY(sim.start());
        endpoints.listingBase = sim.baseUrl();
        endpoints.itemPageBase = sim.baseUrl();
    }

    void init()
    {
        sim.control("/sim/reset");
        dir = std::make_unique<test::TempFolder>("pelimo-watchui");
        host = test::RecordingHost{};
        notifier = test::RecordingNotifier{};
        settings = EnvSettings{};
        settings.watchIntervalMinutes = 5;
        settings.remainingTimeMinutes = 5;
        settings.alarmOnRemainingTime = 1;
        settings.alarmChangesListColour = 1;
        settings.alarmTextColour = 0xffffff;
        settings.alarmBackColour = 0x0000ff;
        list = std::make_unique<CRkAramList>(nullptr, settings, endpoints, host, notifier, dir->path());
        list->resize(800, 300);
    }

    // The "推移" cell follows what the passes recorded, and its tip sums the course up.
    void trendColumnShowsTheRecordedPrices()
    {
        HistoryTime at{std::chrono::seconds(1740830709)};
        HistoryStore store([&at] { return at; });
        QVERIFY(store.open(dir->path() + "/history.db", 365).outcome == HistoryFileOpen::Outcome::opened);
        list->setHistory(&store);
        const char* prices[] = {"1200", "1400", "1000"};
        for (const char* price : prices) {
            put(ItemInfo{"t1", "a", price, "NO", "", "1", "1", "3"});
            if (list->topLevelItemCount() == 0)
                list->addEntry(ItemInfo{"t1", "a", price, "NO", "", "1", "1", "3"});
            list->watchList().runUpdateCycle();
            at += std::chrono::minutes(5);
        }
        const Sparkline* trend = list->rowTrend(0);
        QVERIFY(trend != nullptr);
        QCOMPARE(trend->points.size(), size_t{3});
        QCOMPARE(trend->changes, 2);
        const QString tip = list->topLevelItem(0)->toolTip(pelimo::kColumnTrend);
        for (const char* amount : {"1000", "1200", "1400"})
            QVERIFY2(tip.contains(QLatin1String(amount)), qPrintable(tip));
        // The cell paints without a library: the line lies inside the cell.
        const QPolygonF line = sparklinePolygon(*trend, QRectF(0, 0, 90, 20));
        QVERIFY(QRectF(0, 0, 90, 20).adjusted(-0.5, -0.5, 0.5, 0.5).contains(line.boundingRect()));
        list->setHistory(nullptr);
    }

    void cleanup()
    {
        list.reset();
        platform::MessageBox::setRecordingForTest(false);
    }

    void columnsAsDefined()
    {
        const char* headers[] = {column_text::kHeaderNo,    column_text::kHeaderName,
                                 column_text::kHeaderPrice, column_text::kHeaderType,
                                 column_text::kHeaderUnits, column_text::kHeaderBids,
                                 column_text::kHeaderRemain};
        const int widths[] = {80, 250, 80, 80, 80, 80, 100};
        QCOMPARE(list->columnCount(), pelimo::kColumnTrend + 1);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(list->headerItem()->text(i), q(headers[i]));
            // The item number's column is as wide as a ten-digit number and its image need.
            if (i > 0)
                QCOMPARE(list->header()->sectionSize(i), widths[i]);
        }
        const int tenDigits = list->fontMetrics().horizontalAdvance(QStringLiteral("3100012345"));
        QVERIFY(list->header()->sectionSize(0) >= tenDigits + list->iconSize().width());
        // The note follows them; the picture column stays hidden without a store of pictures.
        QCOMPARE(list->headerItem()->text(kColumnNote), q(column_text::kHeaderNote));
        QVERIFY(list->isColumnHidden(kColumnPicture));
        QCOMPARE(list->headerItem()->text(pelimo::kColumnTrend), q(column_text::kHeaderTrend));
        put(ItemInfo{"1", "a", kPriceYen1000, "FP", "", "2", "3", "-"});
        list->addEntry(ItemInfo{"1", "a", kPriceYen1000, "FP", "", "2", "3", "-"});
        QTreeWidgetItem* row = list->topLevelItem(0);
        QCOMPARE(row->toolTip(0), QStringLiteral("1")); // the number whole, however narrow the column
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

    void deleteTakesTheSelectedRowsAndCtrlZBringsThemBackUntilTheNextCycle()
    {
        for (const char* no : {"u1", "u2", "u3"})
            list->addEntry(listing(no, "1", "-"));
        QVERIFY(list->watchList().setCeiling("u2", 5000));
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        list->topLevelItem(0)->setSelected(true);
        list->topLevelItem(1)->setSelected(true);
        QTest::keyClick(list.get(), Qt::Key_Delete);
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(loadAramFile(dir->path()).records.size(), size_t{1});

        QTest::keyClick(list.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(loadAramFile(dir->path()).records.size(), size_t{3});
        QCOMPARE(list->watchList().ceiling("u2"), std::optional<int32_t>(5000));
        QVERIFY(!list->undoRemoval());

        // Once the next cycle has begun the removal is final. That cycle's fetches fail (the
        // service does not know these listings), and the status line says how many.
        list->clearSelection();
        list->topLevelItem(0)->setSelected(true);
        QTest::keyClick(list.get(), Qt::Key_Delete);
        QCOMPARE(list->topLevelItemCount(), 2);
        platform::sendMessage(list.get(), platform::AramUpdateNow{});
        QVERIFY(!list->undoRemoval());
        QCOMPARE(list->topLevelItemCount(), 2);
        const std::string failed = fillText(watch_text::kStatusFetchesFailed, {2LL});
        QVERIFY(std::find(host.statusLines.begin(), host.statusLines.end(), failed) !=
                host.statusLines.end());
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

    void nearEndTimerFollowsTheSettingsAndTicksFetchOnlyListingsNearTheirEnd()
    {
        list->createAramList();
        QTimer* fast = list->findChild<QTimer*>(QStringLiteral("nearEndTimer"));
        QVERIFY(fast != nullptr);
        QVERIFY(!fast->isActive());
        watch(listing("n1", "1", kRemain30Min));
        watch(listing("far", "2", kRemain3Day));

        // As the settings dialog leaves it: on, with an interval below the range.
        settings.ext.nearEndFaster = 1;
        settings.ext.nearEndIntervalSeconds = 10;
        list->restartTimer();
        QVERIFY(fast->isActive());
        QCOMPARE(fast->interval(), 30000);
        QVERIFY(QMetaObject::invokeMethod(fast, "timeout"));
        QCOMPARE(itemRequests("n1"), size_t{1});
        QCOMPARE(itemRequests("far"), size_t{0});

        settings.ext.nearEndFaster = 0;
        list->restartTimer();
        QVERIFY(!fast->isActive());
        QVERIFY(list->timerActive());

        // Once the exit is asked for, neither timer runs, whatever restarts them.
        settings.ext.nearEndFaster = 1;
        list->restartTimer();
        platform::sendMessage(list.get(), platform::AramExitRequest{});
        list->restartTimer();
        QVERIFY(!fast->isActive());
        QVERIFY(!list->timerActive());
    }

    void listingEndingInEightMinutesIsFetchedEveryTickAndAlarms()
    {
        settings.alarmBalloon = 1;
        settings.ext.nearEndFaster = 1;
        NearEndPolling::Clock::time_point now{};
        list->watchList().setClock([&now] { return now; });
        list->createAramList();
        QTimer* fast = list->findChild<QTimer*>(QStringLiteral("nearEndTimer"));
        QCOMPARE(fast->interval(), 60000);
        // "N分" from the test text "5分".
        const auto minutesLeft = [](int n) {
            return std::to_string(n) + std::string(kRemain5Min).substr(1);
        };
        watch(listing("e8", kPriceYen1000, minutesLeft(8)));
        for (int left = 8; left >= 1; --left) {
            put(listing("e8", kPriceYen1000, minutesLeft(left)));
            QVERIFY(QMetaObject::invokeMethod(fast, "timeout"));
            QCOMPARE(itemRequests("e8"), size_t(9 - left));
            QCOMPARE(list->topLevelItem(0)->text(6), q(minutesLeft(left).c_str()));
            // The threshold is five minutes: the alarm comes once, at 5分.
            QCOMPARE(notifier.balloons.size(), size_t{left <= 5 ? 1u : 0u});
            now += std::chrono::minutes(1);
        }
        // Over, and the service no longer knows it: the row shows the end, and ticks stop.
        sim.control("/sim/remove?ItemNo=e8");
        QVERIFY(QMetaObject::invokeMethod(fast, "timeout"));
        QCOMPARE(list->topLevelItem(0)->text(6), q(watch_text::kRemainEnded));
        QCOMPARE(list->topLevelItem(0)->text(2), q(kPriceYen1000));
        QVERIFY(QMetaObject::invokeMethod(fast, "timeout"));
        QCOMPARE(itemRequests("e8"), size_t{9});
    }

    void ceilingFromTheMenuIsSavedShownAndAlarmsOncePerCrossing()
    {
        platform::MessageBox::setRecordingForTest(true);
        settings.alarmBalloon = 1;
        watch(listing("c1", "4000", kRemain3Day));
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        list->setCurrentItem(list->topLevelItem(0));

        // A text that is no amount is refused and the dialog stays; then 5000 is taken.
        QString prefilled = QStringLiteral("?");
        QStringList refusals;
        bool stayedOpen = false;
        chooseCeilingMenu([&](CRkCeilingDlg& dialog) {
            QLineEdit* edit = dialog.findChild<QLineEdit*>(QStringLiteral("ceilingEdit"));
            QPushButton* ok = dialog.findChild<QPushButton*>(QStringLiteral("ok"));
            prefilled = edit->text();
            edit->setText(QStringLiteral("5000yen"));
            ok->click();
            refusals = platform::MessageBox::takeRecordedForTest();
            stayedOpen = dialog.isVisible();
            edit->setText(QStringLiteral("5000"));
            ok->click();
        });
        QCOMPARE(prefilled, QString());
        QCOMPARE(refusals, QStringList{q(watch_text::kCeilingNotANumber)});
        QVERIFY(stayedOpen);
        QCOMPARE(list->watchList().ceiling("c1"), std::optional<int32_t>(5000));
        QCOMPARE(loadPriceCeilings(dir->path()).rules, (std::vector<PriceRule>{{"c1", 5000}}));
        QCOMPARE(list->topLevelItem(0)->toolTip(1), q(kCeilingTip5000));

        // Above it twice: one alarm, and the row in the alarm colours.
        put(listing("c1", "5100", kRemain3Day));
        list->watchList().runUpdateCycle();
        list->watchList().runUpdateCycle();
        QCOMPARE(notifier.balloons.size(), size_t{1});
        QVERIFY(list->rowAlarmColours(0).has_value());
        // A crossed ceiling shows in its row even with the list colours off.
        settings.alarmChangesListColour = 0;
        QVERIFY(list->rowAlarmColours(0).has_value());
        settings.alarmChangesListColour = 1;

        // The dialog shows the ceiling; emptied, it clears it.
        chooseCeilingMenu([&](CRkCeilingDlg& dialog) {
            QLineEdit* edit = dialog.findChild<QLineEdit*>(QStringLiteral("ceilingEdit"));
            prefilled = edit->text();
            edit->clear();
            dialog.findChild<QPushButton*>(QStringLiteral("ok"))->click();
        });
        QCOMPARE(prefilled, QStringLiteral("5000"));
        QCOMPARE(list->watchList().ceiling("c1"), std::nullopt);
        QVERIFY(loadPriceCeilings(dir->path()).rules.empty());
        QCOMPARE(list->topLevelItem(0)->toolTip(1), QString());
    }

    // A note is kept in history.db, shows in its column and the row's tooltip, comes back after
    // a restart and goes out as the watch CSV's last column; one the file cannot keep is not
    // shown as kept.
    void notesAreKeptInTheHistoryAndExportedLast()
    {
        const std::string note = platform::utf8ToSjis("箱に傷あり\n付属品なし");
        const std::string path = historyFilePath(dir->path());
        auto store = std::make_unique<HistoryStore>();
        QCOMPARE(store->open(path, 0).outcome, HistoryFileOpen::Outcome::opened);
        watch(listing("n1", "4000", kRemain3Day));
        watch(listing("n2", "5000", kRemain3Day));
        list->setHistory(store.get());
        QVERIFY(list->setNote("n1", note));
        QTreeWidgetItem* row = list->topLevelItem(0);
        QCOMPARE(row->text(kColumnNote), platform::toQString(note).simplified());
        QVERIFY(row->toolTip(kColumnItemName).contains(platform::toQString(note)));
        QCOMPARE(list->topLevelItem(1)->text(kColumnNote), QString());

        // A restart: the list's file and the history's come back as they were left.
        list.reset();
        store = std::make_unique<HistoryStore>();
        QCOMPARE(store->open(path, 0).outcome, HistoryFileOpen::Outcome::opened);
        list = std::make_unique<CRkAramList>(nullptr, settings, endpoints, host, notifier, dir->path());
        list->createAramList();
        list->setHistory(store.get());
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->noteOf("n1"), note);
        QCOMPARE(list->topLevelItem(0)->text(kColumnNote), platform::toQString(note).simplified());

        std::vector<ListingCsvRow> rows;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            ListingCsvRow csvRow;
            for (int c = 0; c < kListingColumnCount; ++c)
                csvRow.cells[static_cast<size_t>(c)] = platform::fromQString(list->topLevelItem(i)->text(c));
            csvRow.note = list->noteOf(list->rowItemNo(i));
            rows.push_back(csvRow);
        }
        const QStringList lines = QString::fromStdString(listingCsv(ListingCsvKind::watchList, rows))
                                      .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QVERIFY(lines.size() >= 3);
        QVERIFY(lines[0].endsWith(QStringLiteral("メモ")));
        QVERIFY(lines[1].startsWith(QStringLiteral("n1,")));
        QVERIFY(lines[1].endsWith(QStringLiteral(",\"箱に傷あり\n付属品なし\"")));

        // Cleared, the note goes from the row and the file; with the file gone, nothing
        // changes and the call says so.
        QVERIFY(list->setNote("n1", ""));
        QCOMPARE(store->note("n1"), std::string());
        QVERIFY(list->setNote("n2", "x"));
        store->close();
        QVERIFY(!list->setNote("n2", "y"));
        QCOMPARE(list->noteOf("n2"), std::string("x"));
        QCOMPARE(list->topLevelItem(1)->text(kColumnNote), QStringLiteral("x"));
        list->setHistory(nullptr);
    }

    // With a store of pictures the column shows and the rows are as tall as a thumbnail; the
    // setting turned off on the dialog hides it at the next repaint, and the rows shrink back.
    void pictureColumnFollowsTheSetting()
    {
        pictures::PictureStore store(pictures::PictureStore::Options{});
        watch(listing("p1", "4000", kRemain3Day));
        settings.ext.showPictures = 1;
        list->setPictures(store);
        list->show();
        QVERIFY(QTest::qWaitForWindowExposed(list.get()));
        const int thumbnail = platform::PictureSizes{}.thumbnail;
        QVERIFY(!list->isColumnHidden(kColumnPicture));
        QTRY_VERIFY(list->visualItemRect(list->topLevelItem(0)).height() >= thumbnail);

        settings.ext.showPictures = 0;
        list->viewport()->update();
        QTRY_VERIFY(list->isColumnHidden(kColumnPicture));
        QTRY_VERIFY(list->visualItemRect(list->topLevelItem(0)).height() < thumbnail);
    }

    void ceilingAmountIsYenInHalfOrFullWidthDigits()
    {
        const std::vector<std::pair<const char*, std::optional<int32_t>>> cases = {
            {"5000", 5000},
            {" 5,000円 ", 5000},
            {"５，０００", 5000},
            {"0", 0},
            {"2147483647", INT32_MAX},
            {"2147483648", std::nullopt},
            {"-1", std::nullopt},
            {"5000yen", std::nullopt},
            {",", std::nullopt},
            {"円", std::nullopt},
            {"5000²", std::nullopt},
            {"٥٠٠٠", std::nullopt},
        };
        for (const auto& [text, amount] : cases)
            QVERIFY2(CRkCeilingDlg::parseAmount(QString::fromUtf8(text)) == amount, text);
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
        QSignalSpy loaded(tabs.page(0), &CRkHtmlView::loadFinished);
        tabs.openItemPage(listing("t2", "1", "-"));
        QCOMPARE(tabs.selectedTab(), 1);
        QTRY_COMPARE(loaded.count(), 1);
        QSignalSpy loads(tabs.page(0), &CRkHtmlView::loadStarted);
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
        QSignalSpy firstLoaded(tabs.page(0), &CRkHtmlView::loadFinished);
        QSignalSpy secondLoaded(tabs.page(1), &CRkHtmlView::loadFinished);
        QTRY_COMPARE(firstLoaded.count(), 1);
        QTRY_COMPARE(secondLoaded.count(), 1);
        QSignalSpy first(tabs.page(0), &CRkHtmlView::loadStarted);
        QSignalSpy second(tabs.page(1), &CRkHtmlView::loadStarted);
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

    // Right-clicks the selected row, chooses the ceiling command from the popup menu and
    // hands the dialog that opens to answer, which must close it.
    void chooseCeilingMenu(const std::function<void(CRkCeilingDlg&)>& answer)
    {
        whenShown([] { return QApplication::activePopupWidget(); },
                  [](QWidget* popup) {
                      auto* menu = qobject_cast<QMenu*>(popup);
                      for (QAction* a : menu->actions()) {
                          if (a->text() == q(watch_text::kMenuSetCeiling))
                              menu->setActiveAction(a);
                      }
                      QTest::keyClick(menu, Qt::Key_Return);
                  });
        whenShown([] { return qobject_cast<CRkCeilingDlg*>(QApplication::activeModalWidget()); },
                  [answer](QWidget* dialog) { answer(*static_cast<CRkCeilingDlg*>(dialog)); });
        const QPoint at = list->visualItemRect(list->currentItem()).center();
        Q_EMIT list->customContextMenuRequested(at);
    }
    // Acts on the widget find returns once it is there, looking from the event loop that a
    // menu's or dialog's own wait runs.
    void whenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> act, int triesLeft = 1000)
    {
        QTimer::singleShot(10, list.get(), [this, find, act, triesLeft] {
            if (QWidget* w = find())
                act(w);
            else if (triesLeft > 0)
                whenShown(find, act, triesLeft - 1);
        });
    }
    size_t itemRequests(const std::string& itemNo)
    {
        const std::string tail = "exhibit_id=" + itemNo;
        size_t n = 0;
        for (const std::string& r : sim.requests())
            n += r.size() >= tail.size() && r.compare(r.size() - tail.size(), tail.size(), tail) == 0;
        return n;
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
    test::RecordingNotifier notifier;
    EnvSettings settings;
    std::unique_ptr<CRkAramList> list;
};

QTEST_MAIN(WatchUiTest)
#include "WatchUiTest.moc"
