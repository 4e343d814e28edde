#include "AppTexts.h"
#include "app/CLotwatchApp.h"
#include "app/CMainFrame.h"
#include "app/CRkCmdDialog.h"
#include "app/CRkFormView.h"
#include "app/CRkHtmlForm.h"
#include "app/LayoutMemory.h"
#include "itempage/CRkHtmlView.h"
#include "itempage/ItemPageAddress.h"
#include "platform/qt/DefaultBrowser.h"
#include "platform/qt/MessageBox.h"
#include "platform/qt/PrivateMessage.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtText.h"
#include "platform/qt/QtTranslations.h"
#include "platform/text/SjisText.h"
#include "search/CRkItemList.h"
#include "search/CRkTabCtrl.h"
#include "search/ResultListModel.h"
#include "settings/SettingsStore.h"
#include "tests/app/ShellFixture.h"
#include "tests/support/PaintProbe.h"
#include "watch/AramFile.h"
#include "watch/ui/CRkAramList.h"
#include "watch/ui/CRkAramTabCtrl.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <algorithm>
#include <csignal>
#include <memory>
#include <unistd.h>

using namespace pelimo;

namespace {

// Shift-JIS of the status bar's idle text and of the shutdown notice, written out as bytes.
const char kIdleSjis[] = "\x83\x8c\x83\x66\x83\x42";
const char kShutdownSjis[] = "\x8f\x49\x97\xb9\x8f\x88\x97\x9d\x92\x86\x81\x45\x81\x45\x81\x45";

QString fileText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace

class ShellTest final : public QObject, private test::ShellFixture {
    Q_OBJECT

private:
    QByteArray previousPath = qgetenv("PATH");

    QString inDir(const char* name) const { return QString::fromStdString(dir->file(name)); }

    QString installBrowserScript()
    {
        return test::installBrowserStandIn(QString::fromStdString(dir->path()));
    }

private Q_SLOTS:
    void init() { QVERIFY(startShell("pelimo-shell", {"--hits", "camera=35"})); }

    void cleanup()
    {
        platform::setBrowserProgram({});
        qputenv("PATH", previousPath);
        stopShell();
    }

    void mainWindowStartsAsLaidOut()
    {
        auto frame = makeFrame();
        QCOMPARE(frame->windowTitle(), QStringLiteral("Pelimo for zelvo Ver1.01"));
        QCOMPARE(frame->geometry(), QRect(100, 50, 800, 650));
        QCOMPARE(frame->messagePaneText(), platform::toQString(kIdleSjis));
        QCOMPARE(frame->trayIconId(), kIconNormal);
        QVERIFY2(!frame->windowIcon().pixmap(32).isNull(), "icon 128 is built into the program");

        CRkCmdDialog* bar = frame->cmdBar();
        // Controls sit at their dialog-unit places; group purchase stands left of fixed price.
        QCOMPARE(bar->keywordBox()->geometry(), bar->fromDialogUnits(5, 16, 119, 14));
        QCOMPARE(bar->settingsButton()->geometry(), bar->fromDialogUnits(359, 45, 42, 16));
        QVERIFY(bar->typeBox(TypeBox::groupPurchase)->x() < bar->typeBox(TypeBox::fixedPrice)->x());
        const CommandBarInput in = bar->input();
        QCOMPARE(in.typeFlags, (std::array<int32_t, kTypeBoxCount>{1, 1, 1, 1, 1}));
        QCOMPARE(in.lotNumberFlag, 0);
        QCOMPARE(bar->paneMode(), 0);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(bar->keywordBox()));

        // The splitter's first row starts 250 px high and keeps that height as the window grows.
        QCOMPARE(frame->splitter()->sizes().constFirst(), 250);
        const int before = frame->splitter()->height();
        frame->resize(800, 750);
        QTRY_COMPARE(frame->splitter()->height(), before + 100);
        QCOMPARE(frame->splitter()->sizes().constFirst(), 250);

        // The two images are in the program, and they are not the same picture.
        const QImage normal = iconResource(kIconNormal).pixmap(32, 32).toImage();
        const QImage alarm = iconResource(kIconAlarm).pixmap(32, 32).toImage();
        QVERIFY(!normal.isNull() && !alarm.isNull());
        QVERIFY(normal != alarm);
        QVERIFY(!frame->windowIcon().isNull());

        // Without a tray to bring it back, minimising must not hide the window.
        frame->showMinimized();
        QTest::qWait(100);
        QVERIFY(frame->isVisible());
    }

    void damagedWatchListFileIsAnnouncedInTheStatusBar()
    {
        QFile damaged(QStringLiteral("AramList.xml"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("<root><ItemInfo>");
        damaged.close();
        auto frame = makeFrame();
        const QStringList aside =
            QDir().entryList({QStringLiteral("AramList.xml.unreadable-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QVERIFY2(frame->messagePaneText().contains(aside.constFirst()), qPrintable(frame->messagePaneText()));
    }

    void paneModeShowsOneSideBeforeAnySearch()
    {
        auto frame = makeFrame();
        CRkFormView* top = frame->formView();
        CRkHtmlForm* bottom = frame->htmlForm();
        QVERIFY(top->tabCtrl() == nullptr);
        auto shown = [&] {
            return QList<bool>{top->watchList()->isVisible(), top->updateButton()->isVisible(),
                               top->statusLine()->isVisible(), bottom->itemSide()->isVisible(),
                               bottom->alertTabs()->isVisible()};
        };
        QCOMPARE(shown(), (QList<bool>{false, false, false, true, false}));
        QTest::mouseClick(frame->cmdBar()->alertButton(), Qt::LeftButton);
        QCOMPARE(frame->cmdBar()->paneMode(), 1);
        QCOMPARE(shown(), (QList<bool>{true, true, true, false, true}));
        QVERIFY(top->tabCtrl() == nullptr);
        QTest::mouseClick(frame->cmdBar()->resultsButton(), Qt::LeftButton);
        QCOMPARE(shown(), (QList<bool>{false, false, false, true, false}));
    }

    void formViewLeavesAStripForButtonAndStatusLine()
    {
        auto frame = makeFrame();
        CRkFormView* top = frame->formView();
        for (const QSize size : {QSize(640, 300), QSize(1000, 420)}) {
            frame->splitter()->setSizes({size.height(), 200});
            frame->resize(size.width(), frame->height());
            QTRY_COMPARE(top->width(), frame->splitter()->width());
            const int w = top->width();
            const int h = top->height();
            QCOMPARE(top->watchList()->geometry(), QRect(0, 0, w, h - 35));
            QCOMPARE(top->updateButton()->geometry(), QRect(w - 100, h - 33, 95, 28));
            // The status line, then the time of the last update, left of the button.
            const QRect line = top->statusLine()->geometry();
            const QRect last = top->findChild<QLabel*>(QStringLiteral("lastUpdate"))->geometry();
            QCOMPARE(line.left(), 10);
            QCOMPARE(line.top(), h - 30);
            QVERIFY(line.right() < last.left());
            QVERIFY(last.right() < w - 100);
            QCOMPARE(frame->htmlForm()->itemSide()->geometry(), frame->htmlForm()->rect());
        }
    }

    void firstUpdateRunsOnce()
    {
        auto frame = makeFrame();
        frame->formView()->firstUpdate();
        frame->htmlForm()->firstUpdate();
        QCOMPARE(frame->formView()->findChildren<CRkAramList*>().size(), 1);
        QCOMPARE(frame->formView()->findChildren<QPushButton*>().size(), 1);
        QCOMPARE(frame->htmlForm()->findChildren<CRkAramTabCtrl*>().size(), 1);
        QVERIFY(frame->htmlForm()->itemSide() != nullptr);
        QVERIFY(frame->htmlForm()->findChildren<CRkHtmlView*>().isEmpty());
    }

    void itemPaneShowsAPlaceholderUntilTheFirstItemPage()
    {
        auto frame = makeFrame();
        CRkHtmlForm* pane = frame->htmlForm();
        // No web view before a page is wanted: the pane holds a plain widget of the pane's size.
        QVERIFY(pane->itemView() == nullptr);
        QWidget* placeholder = pane->itemSide();
        QVERIFY(qobject_cast<CRkHtmlView*>(placeholder) == nullptr);
        QVERIFY(placeholder->isVisible());
        QCOMPARE(placeholder->geometry(), pane->rect());
        // Switching to the alert mode and back makes none either.
        QTest::mouseClick(frame->cmdBar()->alertButton(), Qt::LeftButton);
        QVERIFY(!placeholder->isVisible());
        QTest::mouseClick(frame->cmdBar()->resultsButton(), Qt::LeftButton);
        QVERIFY(pane->itemView() == nullptr);

        // A double-click on a result row shows its page in a view that takes the placeholder's place.
        CRkCmdDialog* bar = frame->cmdBar();
        bar->keywordBox()->setFocus();
        QTest::keyClicks(bar->keywordBox(), QStringLiteral("camera"));
        QTest::keyClick(bar->keywordBox(), Qt::Key_Return);
        CRkTabCtrl* tabs = frame->formView()->tabCtrl();
        QVERIFY(tabs != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(tabs->listOfTab(0) && tabs->listOfTab(0)->rows().rowCount() > 0, 10000);
        CRkItemList* list = tabs->listOfTab(0);
        const QRect row = list->visualRect(list->rows().index(0, 1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
        CRkHtmlView* view = pane->itemView();
        QVERIFY(view != nullptr);
        QCOMPARE(pane->itemSide(), static_cast<QWidget*>(view));
        QVERIFY(view->isVisible());
        QCOMPARE(view->geometry(), pane->rect());
        QVERIFY(pane->findChild<QWidget*>(QStringLiteral("itemPlaceholder")) == nullptr);
        ItemInfo shown;
        shown.ItemNo = list->rows().cell(0, kColumnItemNo);
        QTRY_COMPARE_WITH_TIMEOUT(view->url().toString(),
                                  QString::fromStdString(itemPageAddress(endpoints, shown)), 10000);
    }

    void statusTextMessageFillsTheMessagePane()
    {
        auto frame = makeFrame();
        const std::string text = "SMTP \x91\x97\x90\x4d\x92\x86"; // "sending" in Shift-JIS
        platform::sendMessage(frame.get(), platform::StatusText{text});
        QCOMPARE(frame->messagePaneText(), platform::toQString(text));
    }

    void enterSearchesWithoutSwitchingTheMode()
    {
        auto frame = makeFrame();
        CRkCmdDialog* bar = frame->cmdBar();
        QTest::mouseClick(bar->alertButton(), Qt::LeftButton);
        bar->keywordBox()->setFocus();
        QTest::keyClicks(bar->keywordBox(), QStringLiteral("camera"));
        QTest::keyClick(bar->keywordBox(), Qt::Key_Return);

        CRkTabCtrl* tabs = frame->formView()->tabCtrl();
        QVERIFY(tabs != nullptr);
        QVERIFY(tabs->isVisible());
        QCOMPARE(tabs->geometry(), frame->formView()->rect());
        QCOMPARE(bar->paneMode(), 1);
        QVERIFY(bar->alertButton()->isChecked());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(bar->keywordBox()));

        // The button switches back to the results before it searches.
        QTest::mouseClick(bar->searchButton(), Qt::LeftButton);
        QCOMPARE(bar->paneMode(), 0);
        QVERIFY(bar->resultsButton()->isChecked());
        QVERIFY(!frame->formView()->watchList()->isVisible());
        QVERIFY(frame->formView()->tabCtrl() == tabs);
        QVERIFY(tabs->isVisible());
        // The focus goes back to the control that started the search.
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(bar->searchButton()));
        // Both searches reached the listing service with the keyword.
        auto keywordQueries = [&] {
            int n = 0;
            for (const std::string& line : sim->decodedRequests()) {
                n += line.find("/bep/xml") != std::string::npos && line.find("camera") != std::string::npos
                         ? 1
                         : 0;
            }
            return n;
        };
        QTRY_VERIFY_WITH_TIMEOUT(keywordQueries() >= 2, 10000);
    }

    void emptyKeywordStartsNothing()
    {
        auto frame = makeFrame();
        QTest::keyClick(frame->cmdBar()->keywordBox(), Qt::Key_Return);
        QTest::mouseClick(frame->cmdBar()->searchButton(), Qt::LeftButton);
        QVERIFY(frame->formView()->tabCtrl() == nullptr);
    }

    void showItemGoesWhereTheSettingsSay_data()
    {
        QTest::addColumn<int>("origin");
        QTest::addColumn<int>("searchInBrowser");
        QTest::addColumn<int>("alertInBrowser");
        QTest::addColumn<bool>("browser");
        QTest::addColumn<bool>("itemView");
        QTest::addColumn<bool>("alertTab");
        QTest::newRow("search list, pane") << 1 << 0 << 1 << false << true << false;
        QTest::newRow("search list, browser") << 1 << 1 << 0 << true << false << false;
        QTest::newRow("watch list, tabs") << 2 << 1 << 0 << false << false << true;
        QTest::newRow("watch list, browser") << 2 << 0 << 1 << true << false << false;
        QTest::newRow("unknown origin") << 3 << 1 << 1 << false << false << false;
    }

    void showItemGoesWhereTheSettingsSay()
    {
        QFETCH(int, origin);
        QFETCH(int, searchInBrowser);
        QFETCH(int, alertInBrowser);
        QFETCH(bool, browser);
        QFETCH(bool, itemView);
        QFETCH(bool, alertTab);
        const QString opened = installBrowserScript();
        settings.openSearchInBrowser = searchInBrowser;
        settings.openAlertInBrowser = alertInBrowser;
        auto frame = makeFrame();
        ItemInfo item;
        item.ItemNo = "x100200300";
        const QString address = QString::fromStdString(itemPageAddress(endpoints, item));

        frame->htmlForm()->showItem(origin, item);
        CRkHtmlView* view = frame->htmlForm()->itemView();
        if (itemView) {
            QVERIFY(view != nullptr);
            QTRY_COMPARE_WITH_TIMEOUT(view->url().toString(), address, 10000);
        }
        if (browser) {
            QTRY_COMPARE_WITH_TIMEOUT(fileText(opened), QStringLiteral("1|") + address + QLatin1Char('\n'),
                                      5000);
        } else {
            QTest::qWait(300);
            QCOMPARE(fileText(opened), QString());
        }
        QCOMPARE(frame->htmlForm()->alertTabs()->tabCount(), alertTab ? 1 : 0);
        if (!itemView) {
            // A page shown elsewhere makes no view of the pane's own.
            QVERIFY(view == nullptr);
        }
    }

    void browserLaunchPassesOneArgumentAndNeedsAProgram()
    {
        const QString opened = installBrowserScript();
        QVERIFY(platform::openInDefaultBrowser("http://h/a b;$(touch x)&c"));
        QTRY_COMPARE(fileText(opened), QStringLiteral("1|http://h/a b;$(touch x)&c\n"));
        QVERIFY(!QFile::exists(inDir("x")));
        QVERIFY(!platform::openInDefaultBrowser(""));

        platform::setBrowserProgram(inDir("missing-browser"));
        QVERIFY(!platform::openInDefaultBrowser("http://h/"));
    }

    void settingsDialogClosedByCancelStillRestartsTheTimer()
    {
        auto frame = makeFrame();
        CRkAramList* watch = frame->formView()->watchList();
        QCOMPARE(watch->timerIntervalMs(), settings.watchIntervalMinutes * 60000);
        settings.watchIntervalMinutes = 7;
        bool dialogSeen = false;
        QTimer::singleShot(200, this, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                dialogSeen = true;
                dialog->reject();
            }
        });
        QTest::mouseClick(frame->cmdBar()->settingsButton(), Qt::LeftButton);
        QVERIFY(dialogSeen);
        QCOMPARE(watch->timerIntervalMs(), 7 * 60000);
        QVERIFY(watch->timerActive());
    }

    // The desktop's own tools, stood in for on PATH: xdg-settings says it was asked, waits for
    // the file "go", then names what the file "named" holds and exits with the code in "exit".
    QString installDesktopTools()
    {
        const QString bin = inDir("bin");
        QDir().mkpath(bin);
        auto script = [&](const QString& name, const QByteArray& body) {
            QFile f(bin + QLatin1Char('/') + name);
            f.open(QIODevice::WriteOnly);
            f.write("#!/bin/sh\nd=$(dirname \"$0\")\n" + body);
            f.close();
            f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        };
        script(QStringLiteral("xdg-settings"), "touch \"$d/asked\"\n"
                                               "while [ ! -e \"$d/go\" ]; do sleep 0.02; done\n"
                                               "rm -f \"$d/asked\"\n"
                                               "cat \"$d/named\" 2>/dev/null\n"
                                               "exit $(cat \"$d/exit\" 2>/dev/null || echo 0)\n");
        script(QStringLiteral("xdg-open"), "printf '%s|%s\\n' \"$#\" \"$1\" >> \"$d/opened.txt\"\n");
        qputenv("PATH", bin.toUtf8() + ":/usr/bin:/bin");
        platform::setBrowserProgram({});
        return bin;
    }

    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }

    void defaultBrowserNeedsOneTheDesktopNames_data()
    {
        QTest::addColumn<QByteArray>("named");
        QTest::addColumn<QByteArray>("settingsExit");
        QTest::addColumn<bool>("opens");
        QTest::newRow("registered") << QByteArray("web.desktop") << QByteArray("0") << true;
        QTest::newRow("none named") << QByteArray() << QByteArray("0") << false;
        QTest::newRow("query fails") << QByteArray("web.desktop") << QByteArray("2") << false;
    }

    void defaultBrowserNeedsOneTheDesktopNames()
    {
        QFETCH(QByteArray, named);
        QFETCH(QByteArray, settingsExit);
        QFETCH(bool, opens);
        const QString bin = installDesktopTools();
        writeFile(bin + QStringLiteral("/named"), named);
        writeFile(bin + QStringLiteral("/exit"), settingsExit);
        writeFile(bin + QStringLiteral("/go"), {});
        QVERIFY(platform::openInDefaultBrowser("http://127.0.0.1:1/page"));
        QTRY_VERIFY(!platform::isBrowserLookupRunning());
        if (opens) {
            QTRY_COMPARE(fileText(bin + QStringLiteral("/opened.txt")),
                         QStringLiteral("1|http://127.0.0.1:1/page\n"));
        } else {
            QTest::qWait(200);
            QVERIFY(!QFile::exists(bin + QStringLiteral("/opened.txt")));
        }
    }

    void browserLookupKeepsTheWindowAliveAndAsksAgainAfterNone()
    {
        const QString bin = installDesktopTools();
        const QString opened = bin + QStringLiteral("/opened.txt");

        // The desktop names none: nothing opens, and the answer is not kept.
        writeFile(bin + QStringLiteral("/go"), {});
        QVERIFY(platform::openInDefaultBrowser("http://127.0.0.1:1/first"));
        QTRY_VERIFY(!platform::isBrowserLookupRunning());

        // Now it names one, but takes its time: the window goes on handling events meanwhile,
        // and the page opens when the answer comes.
        QFile::remove(bin + QStringLiteral("/go"));
        writeFile(bin + QStringLiteral("/named"), "web.desktop");
        QVERIFY(platform::openInDefaultBrowser("http://127.0.0.1:1/second"));
        bool handled = false;
        QTimer::singleShot(0, this, [&] { handled = true; });
        QTRY_VERIFY(handled && QFile::exists(bin + QStringLiteral("/asked")));
        QVERIFY(platform::isBrowserLookupRunning());
        QVERIFY(!QFile::exists(opened));
        writeFile(bin + QStringLiteral("/go"), {});
        QTRY_COMPARE(fileText(opened), QStringLiteral("1|http://127.0.0.1:1/second\n"));
    }

    void alarmWithoutTrayOrNotificationsShowsInStatusBarAndTitle()
    {
        // The suite runs offscreen, with no tray, and with a session bus that is not there.
        auto frame = makeFrame();
        ItemInfo first;
        first.ItemNo = "x1";
        frame->setTrayIcon(kIconAlarm);
        frame->showBalloon(
            platform::utf8ToSjis("【x1】\nカメラ\n価格 1000　残り時間 5分\n\nその他 2件の商品があります。"),
            first);
        QCOMPARE(frame->messagePaneText(),
                 QStringLiteral(
                     "アラート情報　【x1】　カメラ　価格 1000　残り時間 5分　その他 2件の商品があります。"));
        QCOMPARE(frame->windowTitle(), QStringLiteral("● Pelimo for zelvo Ver1.01"));
        frame->setTrayIcon(kIconNormal);
        QCOMPARE(frame->windowTitle(), QStringLiteral("Pelimo for zelvo Ver1.01"));
    }

    void aWatchCycleNamesItsListingsOnceAFrame()
    {
        // 300 watched listings fetched faster than the display refreshes: the status line names
        // each one as it is fetched, and the screen shows it at most once a frame; its last
        // drawing is the blank line the cycle ends with.
        constexpr int kListings = 300;
        std::vector<ItemInfo> records;
        for (int i = 0; i < kListings; ++i) {
            const std::string no = "q" + std::to_string(100000 + i);
            QVERIFY(sim->control("/sim/put?ItemNo=" + no +
                                 "&ItemName=w&CurrentPrice=100&RemainTime=3%E6%97%A5&AuctionType=NO&BidNum=0"
                                 "&ItemNum=1&ImageUrl="));
            records.push_back(ItemInfo{no, "w", "100", "NO", "", "0", "1", "-"});
        }
        QVERIFY(saveAramFile(records, dir->path()));
        auto frame = makeFrame();
        QTest::mouseClick(frame->cmdBar()->alertButton(), Qt::LeftButton);
        QLabel* line = frame->formView()->statusLine();
        test::PaintProbe probe(line, [line] { return line->text(); });
        bool named = false;
        probe.onPaint = [&named](const QVariant& text) {
            named = named || text.toString().contains(QLatin1Char('q'));
        };
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(frame->formView()->updateButton(), Qt::LeftButton);
        auto fetched = [&] {
            size_t n = 0;
            for (const std::string& target : sim->requests())
                n += target.find("exhibit_id=q") != std::string::npos ? 1 : 0;
            return n;
        };
        QTRY_VERIFY_WITH_TIMEOUT(
            fetched() == kListings && frame->formView()->watchList()->watchList().busy() == 0, 60000);
        QTRY_COMPARE(probe.lastShown, QVariant(QString()));
        QVERIFY(named);
        const qint64 frames = clock.elapsed() / 16 + 4;
        QVERIFY2(probe.paints <= frames, qPrintable(QStringLiteral("%1 paints").arg(probe.paints)));
    }

    void addressSetInTheDialogServesTheNextSearch()
    {
        qunsetenv("PELIMO_LISTING_BASE");
        qunsetenv("PELIMO_ITEMPAGE_BASE");
        CLotwatchApp app;
        QVERIFY(app.initInstance());
        CMainFrame* frame = app.mainFrame();
        const QString address = QString::fromStdString(sim->baseUrl());
        QTimer::singleShot(200, this, [&] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                dialog->findChild<QLineEdit*>(QStringLiteral("listingBase"))->setText(address);
                dialog->accept();
            }
        });
        QTest::mouseClick(frame->cmdBar()->settingsButton(), Qt::LeftButton);
        QVERIFY(fileText(QStringLiteral("env.ini")).contains(address));

        frame->cmdBar()->keywordBox()->setText(QStringLiteral("camera"));
        frame->cmdBar()->onEnter();
        QTRY_VERIFY_WITH_TIMEOUT(!sim->requests().empty(), 5000);
        frame->close();
        QTRY_VERIFY_WITH_TIMEOUT(!frame->isVisible(), 10000);
    }

    void closeBeforeAnySearchSavesTheSettings()
    {
        {
            CLotwatchApp app(endpoints);
            QVERIFY(app.initInstance());
            CMainFrame* frame = app.mainFrame();
            QVERIFY(!QFile::exists(QStringLiteral("env.ini")));
            frame->close();
            QVERIFY(frame->isClosing());
            QCOMPARE(frame->formView()->statusLine()->text(), platform::toQString(kShutdownSjis));
            QTRY_VERIFY(!frame->isVisible());
            QVERIFY(frame->formView()->watchList() == nullptr);
            QVERIFY(QFile::exists(QStringLiteral("AramList.xml")));
        }
        QVERIFY(QFile::exists(QStringLiteral("env.ini")));
    }

    void closeDuringASearchWaitsForTheLists()
    {
        sim->control("/sim/delay?ms=1500");
        auto frame = makeFrame();
        frame->cmdBar()->keywordBox()->setText(QStringLiteral("camera"));
        frame->cmdBar()->onEnter();
        QTRY_VERIFY_WITH_TIMEOUT(!sim->requests().empty(), 5000);

        // A stray closing message before the shutdown changes nothing.
        platform::postMessage(frame.get(), platform::SearchTabsClosed{});
        QTest::qWait(100);
        QVERIFY(frame->formView()->tabCtrl() != nullptr);

        frame->close();
        QVERIFY(frame->isClosing());
        QVERIFY(frame->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(frame->formView()->tabCtrl() == nullptr, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!frame->isVisible(), 10000);
        QVERIFY(frame->formView()->watchList() == nullptr);
    }

    void qtDialogsSpeakJapanese()
    {
        QTranslator* qtTexts = platform::installQtTranslations(*qApp);
        QVERIFY(qtTexts != nullptr);
        const QDialogButtonBox buttons(QDialogButtonBox::Cancel);
        const QString cancel = buttons.button(QDialogButtonBox::Cancel)->text();
        delete qtTexts;
        QCOMPARE(cancel, QStringLiteral("\u30AD\u30E3\u30F3\u30BB\u30EB")); // "cancel" in katakana
    }

    void aboutBoxNamesTheProgramWithItsImage()
    {
        auto frame = makeFrame();
        const QList<QAction*> actions = frame->findChildren<QAction*>();
        const auto about = std::find_if(actions.begin(), actions.end(),
                                        [](QAction* a) { return a->data().toInt() == kCommandAbout; });
        QVERIFY(about != actions.end());
        platform::MessageBox::setRecordingForTest(true);
        (*about)->trigger();
        const QList<platform::MessageBox::Shown> boxes = platform::MessageBox::takeRecordedBoxesForTest();
        platform::MessageBox::setRecordingForTest(false);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].title, platform::toQString(app_text::kAboutCaption));
        // The name and version as the title bar has them, the data folder, the libraries.
        const QString text = boxes[0].text;
        QVERIFY2(text.startsWith(frame->windowTitle()), qPrintable(text));
        QVERIFY2(text.contains(QDir::currentPath()), qPrintable(text));
        for (const char* library : {"Qt 6.", "libcurl ", "libxml2 2.", "SQLite 3."})
            QVERIFY2(text.contains(QLatin1String(library)), library);
        QVERIFY(!boxes[0].icon.isNull());
        QCOMPARE(boxes[0].icon, QIcon(QStringLiteral(":/icons/128.xpm")).pixmap(32, 32).toImage());
    }

    // Tab goes through the bar's controls in the order they are seen and on to the list.
    void tabRunsThroughTheCommandBarInTheOrderSeenAndOnToTheList()
    {
        auto frame = makeFrame();
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame.get()));
        CRkCmdDialog* bar = frame->cmdBar();
        bar->keywordBox()->setText(QStringLiteral("zzzznothing"));
        bar->onEnter();
        QTRY_VERIFY(frame->formView()->tabCtrl() != nullptr);
        bar->focusKeyword();
        const std::vector<QWidget*> seen{bar->keywordBox(),
                                         bar->lotNumberBox(),
                                         bar->searchButton(),
                                         bar->typeBox(TypeBox::ordinary),
                                         bar->typeBox(TypeBox::multiple),
                                         bar->typeBox(TypeBox::immediate),
                                         bar->typeBox(TypeBox::groupPurchase),
                                         bar->typeBox(TypeBox::fixedPrice),
                                         bar->excludeBox(),
                                         bar->resultsButton(),
                                         bar->alertButton(),
                                         bar->archiveButton(),
                                         bar->priceLowBox(),
                                         bar->priceHighBox(),
                                         bar->settingsButton(),
                                         frame->formView()->tabCtrl()->listOfTab(0)};
        for (size_t i = 0; i < seen.size(); ++i) {
            QCOMPARE(QApplication::focusWidget(), seen[i]);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
    }

    void keysMoveBetweenAndCloseSearchTabsAndFindTheKeyword()
    {
        auto frame = makeFrame();
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame.get()));
        CRkCmdDialog* bar = frame->cmdBar();
        for (const char* word : {"zzzznone1", "zzzznone2"}) {
            bar->keywordBox()->setText(QString::fromLatin1(word));
            bar->onEnter();
        }
        CRkTabCtrl* tabs = frame->formView()->tabCtrl();
        QCOMPARE(tabs->tabCount(), 2);
        QCOMPARE(tabs->currentIndex(), 1);
        QTest::keyClick(frame.get(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(tabs->currentIndex(), 0);
        QTest::keyClick(frame.get(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(tabs->currentIndex(), 1);
        QTest::keyClick(frame.get(), Qt::Key_W, Qt::ControlModifier);
        QTRY_COMPARE(tabs->tabCount(), 1);
        QCOMPARE(tabs->tabCaption(0), QStringLiteral("zzzznone1"));

        frame->formView()->tabCtrl()->listOfTab(0)->setFocus();
        QTest::keyClick(frame.get(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), bar->keywordBox());
        QCOMPARE(bar->keywordBox()->selectedText(), bar->keywordBox()->text());
    }

    void layoutKeptAtExitComesBackAtTheNextStart()
    {
        QList<int> sizes;
        {
            auto frame = makeFrame();
            frame->splitter()->setSizes({180, 300});
            sizes = frame->splitter()->sizes();
            frame->formView()->watchList()->header()->resizeSection(1, 333);
            frame->formView()->watchList()->sortBy(2, false);
            CRkCmdDialog* bar = frame->cmdBar();
            bar->keywordBox()->setText(QStringLiteral("not kept"));
            bar->lotNumberBox()->setChecked(true);
            bar->typeBox(TypeBox::multiple)->setChecked(false);
            bar->priceLowBox()->setText(QStringLiteral("１，０００円"));
            bar->alertButton()->click();
            saveWindowLayout(*frame);
        }
        auto frame = makeFrame();
        restoreWindowLayout(*frame);
        QCOMPARE(frame->splitter()->sizes(), sizes);
        QCOMPARE(frame->formView()->watchList()->header()->sectionSize(1), 333);
        QCOMPARE(frame->formView()->watchList()->sortState(),
                 (std::optional<std::pair<int, bool>>{{2, false}}));
        CRkCmdDialog* bar = frame->cmdBar();
        QCOMPARE(bar->keywordBox()->text(), QString());
        QVERIFY(bar->lotNumberBox()->isChecked());
        QVERIFY(!bar->typeBox(TypeBox::multiple)->isChecked());
        QVERIFY(bar->typeBox(TypeBox::ordinary)->isChecked());
        QCOMPARE(bar->priceLowBox()->text(), QStringLiteral("１，０００円"));
        QCOMPARE(bar->paneMode(), 1);
        QVERIFY(frame->formView()->watchList()->isVisible());
    }

    void withoutAWorkingFolderTheStatusBarSaysSo()
    {
        const QString gone = inDir("gone");
        QVERIFY(QDir().mkdir(gone));
        QVERIFY(::chdir(gone.toLocal8Bit().constData()) == 0);
        QVERIFY(QDir().rmdir(gone));
        {
            CLotwatchApp app(endpoints);
            QVERIFY(app.initInstance());
            QCOMPARE(app.mainFrame()->messagePaneText(), platform::toQString(app_text::kNoWorkingFolder));
        }
        QDir::setCurrent(QString::fromStdString(dir->path()));
        QVERIFY(!QFile::exists(QStringLiteral("/env.ini")));
        QVERIFY(!QFile::exists(QStringLiteral("/AramList.xml")));
    }

    void terminationSignalRunsTheOrderlyShutdown()
    {
        {
            CLotwatchApp app(endpoints);
            QVERIFY(app.initInstance());
            ::raise(SIGTERM);
            QTRY_VERIFY(!app.mainFrame()->isVisible());
            QVERIFY(app.mainFrame()->isClosing());
        }
        QVERIFY(QFile::exists(QStringLiteral("env.ini")));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // The window's images sit in a static library; this keeps them in the test.
    Q_INIT_RESOURCE(icons);
    app.setQuitOnLastWindowClosed(false);
    platform::installQtEventPump();
    ShellTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ShellTest.moc"
