#include "app/SavedSearches.h"

#include "app/CMainFrame.h"
#include "app/CRkCmdDialog.h"
#include "app/CRkFormView.h"
#include "platform/qt/QtEventPump.h"
#include "platform/text/SjisText.h"
#include "search/CRkItemList.h"
#include "search/CRkTabCtrl.h"
#include "search/ResultListModel.h"
#include "settings/SettingsStore.h"
#include "tests/app/ShellFixture.h"
#include "tests/support/MailSettings.h"
#include "tests/support/SmtpSink.h"
#include "watch/AlarmRules.h"
#include "watch/ui/CRkAramList.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>
#include <cstdio>
#include <memory>

using namespace pelimo;

namespace {

QString fileText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

std::string sjis(const char* utf8)
{
    return platform::utf8ToSjis(utf8);
}

// A mail's body with its line ends as the program wrote them.
std::string bodyOf(const std::string& message)
{
    std::string body = message.substr(message.find("\r\n\r\n") + 4);
    for (size_t at; (at = body.find("\r\n")) != std::string::npos;)
        body.replace(at, 2, "\n");
    return body;
}

} // namespace

class SavedSearchesTest final : public QObject, private test::ShellFixture {
    Q_OBJECT

private:
    std::unique_ptr<test::SmtpSink> smtp;

    static CRkTabCtrl* tabs(CMainFrame& frame) { return frame.formView()->tabCtrl(); }

    // A search from the command bar, loaded to its last page; its list.
    static CRkItemList* search(CMainFrame& frame, const char* keyword)
    {
        frame.cmdBar()->keywordBox()->setText(QString::fromUtf8(keyword));
        frame.cmdBar()->onEnter();
        CRkItemList* list = tabs(frame)->listOfTab(tabs(frame)->tabCount() - 1);
        if (list != nullptr &&
            !QTest::qWaitFor([&] { return list->progress().state == ListState::Complete; }, 20000)) {
            std::fprintf(stderr, "state %d rows %d page %d/%d\n", int(list->progress().state),
                         list->rows().rowCount(), list->progress().currentPage, list->progress().totalPages);
            return nullptr;
        }
        return list;
    }

    // The tab popup's save or unsave item on a tab, checked to say what it is about to do.
    static bool useSaveItem(CMainFrame& frame, int tab, const char* expectedUtf8)
    {
        tabs(frame)->setMenuTab(tab);
        if (tabs(frame)->saveItemText() != QString::fromUtf8(expectedUtf8))
            return false;
        tabs(frame)->toggleMenuTabSaved();
        return true;
    }

    // One regular watch cycle, waited for to the end of the saved searches' runs.
    static bool cycle(CMainFrame& frame)
    {
        frame.formView()->watchList()->watchList().runUpdateCycle();
        return QTest::qWaitFor([&] { return !frame.savedSearches()->busy(); }, 30000);
    }

    void put(const char* itemNo, const char* name, const char* price = "1000")
    {
        sim->control(std::string("/sim/put?ItemNo=") + itemNo + "&ItemName=" + test::percentEncode(name) +
                     "&CurrentPrice=" + price + "&RemainTime=" + test::percentEncode("3日") +
                     "&AuctionType=NO&BidNum=0&ItemNum=1");
    }

    static QString caption(CMainFrame& frame, int tab) { return tabs(frame)->tabCaption(tab); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(startShell("pelimo-saved", {"--hits", "zcam=25"}));
        smtp = std::make_unique<test::SmtpSink>();
        QCOMPARE(smtp->startError(), std::string());
        settings.alarmBalloon = 1;
        settings.alarmMail = 1;
        test::mailThrough(settings, smtp->port());
    }

    void cleanup()
    {
        smtp.reset();
        stopShell();
    }

    void newListingIsToldOnceAfterASilentFirstRun()
    {
        // Saved while its pages still load, the search's first run comes with the next cycle.
        sim->control("/sim/delay?ms=300&keyword=zcam");
        auto frame = makeFrame();
        frame->cmdBar()->keywordBox()->setText(QStringLiteral("zcam"));
        frame->cmdBar()->onEnter();
        QVERIFY(useSaveItem(*frame, 0, "この検索を保存する"));
        QCOMPARE(caption(*frame, 0), QStringLiteral("★ zcam"));
        QVERIFY(
            fileText(QStringLiteral("SearchList.xml")).contains(QStringLiteral("<Keyword>zcam</Keyword>")));
        CRkItemList* list = tabs(*frame)->listOfTab(0);
        QTRY_COMPARE_WITH_TIMEOUT(list->progress().state, ListState::Complete, 20000);
        QCOMPARE(list->rows().rowCount(), 25);
        sim->control("/sim/delay?ms=0&keyword=zcam");

        // That run only records what exists.
        put("n0", "zcam before the first run");
        QVERIFY(cycle(*frame));
        QCOMPARE(list->rows().rowCount(), 25);
        QCOMPARE(frame->savedSearches()->newCount(*list), 0);
        QVERIFY(smtp->messages().empty());

        // A watched listing whose price moved, and a new listing of the saved search: one mail.
        settings.alarmOnPriceChange = 1;
        put("w1", "watched one", "2000");
        ItemInfo watched;
        watched.ItemNo = "w1";
        watched.CurrentPrice = "1";
        frame->formView()->watchList()->addEntry(watched);
        put("n1", "zcam new one");
        QVERIFY(cycle(*frame));
        QCOMPARE(list->rows().rowCount(), 26);
        QCOMPARE(list->rows().cell(0, kColumnItemNo), std::string("n1"));
        QVERIFY(list->rows().isRowFresh(0));
        const ColourRef back = settings.alarmBackColour;
        QCOMPARE(list->rows().data(list->rows().index(0, 1), Qt::BackgroundRole).value<QColor>(),
                 QColor(colourRed(back), colourGreen(back), colourBlue(back)));
        QVERIFY(!list->rows().isRowFresh(1));
        QCOMPARE(caption(*frame, 0), QStringLiteral("★ zcam (新着 1)"));
        QTRY_COMPARE(smtp->messages().size(), size_t(1));
        const std::string body = bodyOf(smtp->messages()[0]);
        const size_t watchedAt = body.find(sjis("【w1】"));
        const size_t blockAt = body.find(sjis("新着：zcam\n【n1】\nzcam new one\n"));
        QVERIFY2(watchedAt != std::string::npos && blockAt != std::string::npos && watchedAt < blockAt,
                 body.c_str());

        // Seen now: the next cycle tells nothing.
        QVERIFY(cycle(*frame));
        QCOMPARE(list->rows().rowCount(), 26);
        QCOMPARE(smtp->messages().size(), size_t(1));

        // Shown by the user, the tab drops its count and its rows their alarm colours.
        QVERIFY(search(*frame, "zdog"));
        tabs(*frame)->selectTab(0);
        QCOMPARE(caption(*frame, 0), QStringLiteral("★ zcam"));
        QVERIFY(!list->rows().isRowFresh(0));
    }

    void excludeWordsKeepTheirListingsOutOfTheTabAndTheAlarms()
    {
        put("j0", "zcam ジャンク品");
        auto frame = makeFrame();
        frame->cmdBar()->excludeBox()->setText(QStringLiteral("ｼﾞｬﾝｸ　部品取り"));
        CRkItemList* list = search(*frame, "zcam");
        QVERIFY(list);
        QCOMPARE(list->rows().rowCount(), 25);
        QVERIFY(tabs(*frame)->statusText().contains(QStringLiteral("除外 1件")));
        QVERIFY(tabs(*frame)->tabStrip()->tabToolTip(0).contains(QStringLiteral("ｼﾞｬﾝｸ　部品取り")));
        QVERIFY(useSaveItem(*frame, 0, "この検索を保存する"));
        QVERIFY(fileText(QStringLiteral("SearchList.xml")).contains(QStringLiteral("<Exclude>")));

        put("j1", "zcam 部品取りに");
        put("n1", "zcam 美品");
        put("j2", "zcam ＪＵＮＫ ジャンク");
        QVERIFY(cycle(*frame));
        QCOMPARE(list->rows().rowCount(), 26);
        QCOMPARE(list->rows().cell(0, kColumnItemNo), std::string("n1"));
        QCOMPARE(frame->savedSearches()->newCount(*list), 1);
        QTRY_COMPARE(smtp->messages().size(), size_t(1));
        const std::string body = bodyOf(smtp->messages()[0]);
        QVERIFY2(body.find(sjis("【n1】")) != std::string::npos &&
                     body.find(sjis("【j")) == std::string::npos,
                 body.c_str());

        // After a restart, the saved search still leaves them out.
        frame->close();
        QTRY_VERIFY(!frame->isVisible());
        frame.reset();
        put("j3", "zcam ｼﾞｬﾝｸ");
        frame = makeFrame();
        QTRY_VERIFY_WITH_TIMEOUT(!frame->savedSearches()->busy(), 20000);
        list = tabs(*frame)->listOfTab(0);
        QCOMPARE(list->rows().rowCount(), 26);
        QCOMPARE(frame->savedSearches()->newCount(*list), 0);
        QCOMPARE(smtp->messages().size(), size_t(1));
    }

    void listingThatAppearedWhileClosedIsToldOnceAtStartUp()
    {
        {
            auto frame = makeFrame();
            QVERIFY(search(*frame, "zcam"));
            QVERIFY(useSaveItem(*frame, 0, "この検索を保存する"));
            frame->close();
            QTRY_VERIFY(!frame->isVisible());
        }
        put("n2", "zcam while closed");
        for (int start = 0; start < 2; ++start) {
            auto frame = makeFrame();
            QCOMPARE(tabs(*frame)->tabCount(), 1);
            QTRY_VERIFY_WITH_TIMEOUT(!frame->savedSearches()->busy(), 20000);
            CRkItemList* list = tabs(*frame)->listOfTab(0);
            QCOMPARE(list->rows().rowCount(), 26);
            QTRY_COMPARE(smtp->messages().size(), size_t(1));
            // The second start finds nothing new.
            const bool first = start == 0;
            QCOMPARE(frame->savedSearches()->newCount(*list), first ? 1 : 0);
            QCOMPARE(caption(*frame, 0),
                     first ? QStringLiteral("★ zcam (新着 1)") : QStringLiteral("★ zcam"));
            // The run showed its pages as a search from the command bar does; the new one among
            // them is drawn in the alarm colours.
            int fresh = 0;
            for (int row = 0; row < list->rows().rowCount(); ++row) {
                if (list->rows().isRowFresh(row))
                    fresh += list->rows().cell(row, kColumnItemNo) == "n2" ? 1 : 100;
            }
            QCOMPARE(fresh, first ? 1 : 0);
            frame->close();
            QTRY_VERIFY(!frame->isVisible());
        }
        QVERIFY(bodyOf(smtp->messages()[0]).find(sjis("新着：zcam\n【n2】")) != std::string::npos);
    }

    void unsavedSearchRunsNoMore()
    {
        auto frame = makeFrame();
        QVERIFY(search(*frame, "zcam"));
        QVERIFY(useSaveItem(*frame, 0, "この検索を保存する"));
        QVERIFY(cycle(*frame));
        QVERIFY(useSaveItem(*frame, 0, "保存を解除する"));
        QCOMPARE(caption(*frame, 0), QStringLiteral("zcam"));
        QVERIFY(!fileText(QStringLiteral("SearchList.xml")).contains(QStringLiteral("SavedSearch")));
        sim->control("/sim/reset");
        put("n3", "zcam after unsaving");
        QVERIFY(cycle(*frame));
        QTest::qWait(200);
        QVERIFY(sim->requests().empty());
        QVERIFY(smtp->messages().empty());
    }

    void runStopsAtThePageLimitAndSaysSo()
    {
        sim->control("/sim/hits?word=zmany&count=1005");
        auto frame = makeFrame();
        QVERIFY(search(*frame, "zmany"));
        QVERIFY(useSaveItem(*frame, 0, "この検索を保存する"));
        sim->control("/sim/reset");
        QVERIFY(cycle(*frame));
        QCOMPARE(frame->messagePaneText(),
                 QStringLiteral("保存した検索「zmany」は 100 ページまでで打ち切りました"));
        QCOMPARE(sim->requests().size(), size_t(100));
    }

    void exitWhileTheRunsGoClosesAtOnce()
    {
        auto frame = makeFrame();
        QVERIFY(search(*frame, "zcam"));
        QVERIFY(useSaveItem(*frame, 0, "この検索を保存する"));
        settings.alarmOnPriceChange = 1;
        put("w1", "watched one", "2000");
        ItemInfo watched;
        watched.ItemNo = "w1";
        watched.CurrentPrice = "1";
        frame->formView()->watchList()->addEntry(watched);
        sim->control("/sim/delay?ms=800&keyword=zcam");
        frame->formView()->watchList()->watchList().runUpdateCycle();
        QVERIFY(frame->savedSearches()->busy());
        frame->close();
        QTRY_VERIFY_WITH_TIMEOUT(!frame->isVisible(), 10000);
        QVERIFY(!frame->savedSearches()->busy());
        QTest::qWait(100); // a run's late report finds nothing to touch
        // The watched listing's alarm, held for the runs, still goes out.
        QTRY_COMPARE(smtp->messages().size(), size_t(1));
        QVERIFY(bodyOf(smtp->messages()[0]).find(sjis("【w1】")) != std::string::npos);
    }

    void handWrittenFileOpensItsSearches()
    {
        sim->control("/sim/hits?word=" + test::percentEncode("カメラ") + "&count=3");
        QFile file(QStringLiteral("SearchList.xml"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(sjis("<?xml version='1.0' encoding='Shift_JIS'?>\n<root>\n<SavedSearch>\n"
                        "<Keyword>カメラ</Keyword>\n<LotNumberMode>0</LotNumberMode>\n"
                        "<AuctionTypes>NO,PA,FL,FP,GB</AuctionTypes>\n<PriceLow>0</PriceLow>\n"
                        "<PriceHigh>5000000</PriceHigh>\n<Seen>\n<ItemNo>x123</ItemNo>\n</Seen>\n"
                        "</SavedSearch>\n</root>\n")
                       .c_str());
        file.close();
        settings.alarmMail = 0;
        auto frame = makeFrame();
        QCOMPARE(tabs(*frame)->tabCount(), 1);
        QCOMPARE(caption(*frame, 0), QStringLiteral("★ カメラ"));
        QTRY_VERIFY_WITH_TIMEOUT(!frame->savedSearches()->busy(), 20000);
        const std::vector<std::string> asked = sim->decodedRequests();
        QVERIFY(!asked.empty());
        QVERIFY2(asked[0].find("カメラ") != std::string::npos &&
                     asked[0].find("chigh=5000000") != std::string::npos,
                 asked[0].c_str());
        // Its seen set is there: the run tells what it had not seen, and the file keeps x123.
        CRkItemList* list = tabs(*frame)->listOfTab(0);
        QVERIFY(list->rows().rowCount() >= 3);
        QCOMPARE(frame->savedSearches()->newCount(*list), list->rows().rowCount());
        QVERIFY(fileText(QStringLiteral("SearchList.xml")).contains(QStringLiteral("x123")));
        // Without a tray or a notification service the alert shows in the status bar.
        QVERIFY2(frame->messagePaneText().startsWith(QStringLiteral("新着情報　【")),
                 qPrintable(frame->messagePaneText()));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    platform::installQtEventPump();
    SavedSearchesTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "SavedSearchesTest.moc"
