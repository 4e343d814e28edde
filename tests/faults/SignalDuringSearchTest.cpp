// The program's own objects, as its main builds them, in a search that is still paging: the
// window keeps handling events every few milliseconds, and SIGTERM runs the orderly shutdown
// with env.ini and AramList.xml intact.
#include "app/CLotwatchApp.h"
#include "app/CMainFrame.h"
#include "app/CRkCmdDialog.h"
#include "platform/FileSystem.h"
#include "platform/qt/QtEventPump.h"
#include "settings/SettingsStore.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempFolder.h"
#include "watch/AramFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <filesystem>
#include <unistd.h>

namespace pelimo {

class SignalDuringSearchTest final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { platform::installQtEventPump(); }

    void sigtermDuringASearchKeepsBothFiles()
    {
        const test::TempFolder temp("pelimo-search-signal");
        const std::string& folder = temp.path();
        QVERIFY(!folder.empty());
        QVERIFY(::chdir(folder.c_str()) == 0);

        // Twenty pages, each answered slowly, so the search is still paging at the signal; a
        // window that waited for an answer would miss its timer for the whole of it.
        test::SimulatorProcess sim({"--hits", "sig=200", "--delay-ms", "600"});
        QVERIFY(sim.start());
        const std::vector<ItemInfo> watched{{"kept1", "kept one", "100", "NO", "x", "0", "1", "3"}};
        QVERIFY(saveAramFile(watched, folder));
        EnvSettings settings = defaultSettings();
        settings.watchIntervalMinutes = 30;
        QVERIFY(saveSettingsTo(platform::joinPath(folder, "env.ini"), settings));

        auto searchRequests = [&] {
            int n = 0;
            for (const std::string& line : sim.requests())
                n += line.find("page=") != std::string::npos ? 1 : 0;
            return n;
        };
        {
            Endpoints endpoints;
            endpoints.listingBase = sim.baseUrl();
            endpoints.itemPageBase = sim.baseUrl();
            CLotwatchApp app(endpoints);
            QVERIFY(app.initInstance());
            QVERIFY(QTest::qWaitForWindowExposed(app.mainFrame()));
            QLineEdit* keyword = app.mainFrame()->cmdBar()->keywordBox();
            keyword->setFocus();
            QTest::keyClicks(keyword, QStringLiteral("sig"));
            QTest::keyClick(keyword, Qt::Key_Return);
            QTRY_VERIFY_WITH_TIMEOUT(searchRequests() >= 2, 10000);

            // While pages load, a 1 ms timer keeps firing: the window never waits long.
            QElapsedTimer clock;
            clock.start();
            qint64 last = 0;
            qint64 longest = 0;
            QTimer tick;
            connect(&tick, &QTimer::timeout, this, [&] {
                const qint64 now = clock.elapsed();
                longest = std::max(longest, now - last);
                last = now;
            });
            tick.start(1);
            QTest::qWait(1500);
            tick.stop();
            // Half an answer's time: slack for a busy machine, well short of a wait for a page.
            QVERIFY2(longest < 300, qPrintable(QStringLiteral("longest gap %1 ms").arg(longest)));
            QVERIFY2(searchRequests() < 20, "the search ended before the signal");

            ::kill(::getpid(), SIGTERM);
            QTRY_VERIFY_WITH_TIMEOUT(!app.mainFrame()->isVisible(), 30000);
            const int atClose = searchRequests();
            QTest::qWait(500);
            QCOMPARE(searchRequests(), atClose);
        }

        const AramFileLoad load = loadAramFile(folder);
        QCOMPARE(load.outcome, AramFileLoad::Outcome::loaded);
        QVERIFY(load.records == watched);
        EnvSettings after;
        loadSettingsFrom(platform::joinPath(folder, "env.ini"), after);
        QCOMPARE(after.watchIntervalMinutes, 30);
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            // The history and the window's layout are the program's files too; nothing
            // half-written stays beside them.
            QVERIFY2(name == "env.ini" || name == "AramList.xml" || name == "history.db" ||
                         name == "WindowLayout.ini",
                     name.c_str());
        }
    }
};

} // namespace pelimo

QTEST_MAIN(pelimo::SignalDuringSearchTest)
#include "SignalDuringSearchTest.moc"
