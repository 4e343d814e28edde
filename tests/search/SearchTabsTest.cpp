#include "SearchTestTexts.h"
#include "SearchTexts.h"
#include "listing/ResultImages.h"
#include "platform/qt/PrivateMessage.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtText.h"
#include "platform/text/SjisText.h"
#include "search/CRkItemList.h"
#include "search/CRkTabCtrl.h"
#include "search/ResultListModel.h"
#include "search/SearchListHost.h"
#include "search/SearchMessages.h"
#include "settings/EnvSettings.h"
#include "tests/search/EndlessPagesServer.h"
#include "tests/support/PaintProbe.h"
#include "tests/support/SimulatorProcess.h"

#include <QColor>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <set>

namespace pelimo {
namespace {

// The panes around the lists as a test sees them: calls are recorded.
class TestHost final : public SearchListHost {
public:
    bool isWatched(const std::string& itemNo) const override { return watched.count(itemNo) != 0; }
    void addToWatchList(const ItemInfo& item) override { added.push_back(item); }
    void showItem(int32_t origin, const ItemInfo& item) override { shown.emplace_back(origin, item); }

    std::set<std::string> watched;
    std::vector<ItemInfo> added;
    std::vector<std::pair<int32_t, ItemInfo>> shown;
};

// Sees each pageEvent before the tab control handles it.
class PageEventProbe final : public QObject {
public:
    explicit PageEventProbe(std::function<void(CRkItemList*)> onPageEvent)
        : onPageEvent(std::move(onPageEvent))
    {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (const auto* m = platform::messageOf<PageEvent>(e))
            onPageEvent(m->list);
        return QObject::eventFilter(watched, e);
    }

private:
    std::function<void(CRkItemList*)> onPageEvent;
};

// Counts searchTabsClosed as the main frame would receive it.
class MainFrameProbe final : public QObject {
public:
    int closed = 0;

protected:
    bool event(QEvent* e) override
    {
        if (platform::messageOf<platform::SearchTabsClosed>(e)) {
            ++closed;
            return true;
        }
        return QObject::event(e);
    }
};

QString pagesText(const char* format, int current, int total)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, current, total);
    return platform::toQString(buffer);
}

QString sjis(const char* text)
{
    return platform::toQString(text);
}

SearchRequest keyword(const std::string& text)
{
    SearchRequest request;
    request.text = text;
    return request;
}

ItemInfo record(const std::string& itemNo, const std::string& name, const std::string& price,
                const std::string& type, const std::string& remain)
{
    ItemInfo r;
    r.ItemNo = itemNo;
    r.ItemName = name;
    r.CurrentPrice = price;
    r.AuctionType = type;
    r.BidNum = "3";
    r.ItemNum = "1";
    r.RemainTime = remain;
    return r;
}

// The local time of day, rounded up to the second, as a status line names it.
QString localClock(std::chrono::system_clock::time_point at)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::ceil<std::chrono::seconds>(at));
    std::tm local{};
    localtime_r(&t, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return QString::fromLatin1(text);
}

std::string queryValue(const std::string& target, const std::string& key)
{
    const std::string needle = key + "=";
    size_t at = target.find("?" + needle);
    if (at == std::string::npos)
        at = target.find("&" + needle);
    if (at == std::string::npos)
        return {};
    const size_t start = at + 1 + needle.size();
    const size_t end = target.find('&', start);
    return target.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

} // namespace

class SearchTabsTest final : public QObject {
    Q_OBJECT

private:
    // (keyword, page) of every search page the simulator was asked for, in arrival order.
    std::vector<std::pair<std::string, int>> pagesRequested()
    {
        std::vector<std::pair<std::string, int>> out;
        for (const std::string& line : sim->decodedRequests()) {
            const std::string word = queryValue(line, "keyword");
            if (!word.empty())
                out.emplace_back(word, std::atoi(queryValue(line, "page").c_str()));
        }
        return out;
    }

    std::vector<int> pagesOf(const std::string& word)
    {
        std::vector<int> out;
        for (const auto& [w, page] : pagesRequested()) {
            if (w == word)
                out.push_back(page);
        }
        return out;
    }

    // Acts once, from inside the event handling, as soon as the condition holds: that is
    // where a user's click lands while a page run waits.
    void actWhen(std::function<bool()> condition, std::function<void()> action)
    {
        auto* timer = new QTimer(window.get());
        timer->setInterval(2);
        connect(timer, &QTimer::timeout, timer, [timer, condition, action] {
            if (!condition())
                return;
            timer->stop();
            timer->deleteLater();
            action();
        });
        timer->start();
    }

    // Where the list's delegate draws a cell's text.
    static int textLeft(CRkItemList& view, const QModelIndex& index)
    {
        struct Delegate : QStyledItemDelegate {
            using QStyledItemDelegate::initStyleOption;
        } delegate;
        QStyleOptionViewItem option;
        option.initFrom(view.viewport());
        option.rect = view.visualRect(index);
        option.decorationSize = view.iconSize();
        delegate.initStyleOption(&option, index);
        return view.style()->subElementRect(QStyle::SE_ItemViewItemText, &option, &view).left();
    }

    CRkItemList* list(int tab) const { return tabs->listOfTab(tab); }
    ListState stateOf(const QPointer<CRkItemList>& l) const
    {
        return l ? l->progress().state : ListState::Stopped;
    }

    std::unique_ptr<test::SimulatorProcess> sim;
    EnvSettings settings;
    Endpoints endpoints;
    TestHost host;
    MainFrameProbe frame;
    std::unique_ptr<QWidget> window;
    CRkTabCtrl* tabs = nullptr;

private slots:
    void initTestCase()
    {
        platform::installQtEventPump();
        sim = std::make_unique<test::SimulatorProcess>(
            std::vector<std::string>{"--hits", "alpha=25", "--hits", "beta=50", "--hits", "gamma=50",
                                     "--hits", "delta=15", "--hits", "stream=1500"});
        QVERIFY(sim->start());
        endpoints.listingBase = sim->baseUrl();
        endpoints.itemPageBase = sim->baseUrl();
    }

    void init()
    {
        QVERIFY(sim->control("/sim/reset").has_value());
        host = TestHost();
        frame.closed = 0;
        window = std::make_unique<QWidget>();
        window->resize(900, 500);
        tabs = new CRkTabCtrl(window.get(), settings, endpoints, host, &frame);
        tabs->setGeometry(0, 0, 900, 500);
        window->show();
    }

    void cleanup()
    {
        window.reset();
        tabs = nullptr;
    }

    void threePagesEndWithTheLastPageOnTop()
    {
        tabs->newSearch(keyword("alpha"));
        QTRY_COMPARE_WITH_TIMEOUT(tabs->statusText(), pagesText(searchtext::kStatusComplete, 3, 3), 10000);
        QVERIFY(!tabs->isButtonShown());
        QCOMPARE(tabs->tabCaption(0), QStringLiteral("alpha"));
        QCOMPARE(pagesOf("alpha"), (std::vector<int>{1, 2, 3}));

        CRkItemList* l = list(0);
        QCOMPARE(l->controlId(), CRkItemList::kFirstControlId);
        const auto& records = l->records();
        QCOMPARE(records.size(), size_t{25});
        QCOMPARE(l->rows().rowCount(), 25);
        // Page 3 (records 20..24) at the top in its own order, page 1 (records 0..9) at the
        // bottom.
        for (int i = 0; i < 5; ++i)
            QCOMPARE(l->rows().cell(i, kColumnItemNo), records[static_cast<size_t>(20 + i)].ItemNo);
        for (int i = 0; i < 10; ++i)
            QCOMPARE(l->rows().cell(15 + i, kColumnItemNo), records[static_cast<size_t>(i)].ItemNo);

        QCOMPARE(l->geometry(), QRect(10, 25, 880, 440));
        QCOMPARE(tabs->findChild<QLabel*>(QStringLiteral("statusLine114"))->geometry(),
                 QRect(400, 470, 395, 20));
        QCOMPARE(tabs->findChild<QPushButton*>(QStringLiteral("pauseButton112"))->geometry(),
                 QRect(800, 467, 95, 28));
    }

    void aLongSearchIsDrawnOnceAFrameAndWhollyAtTheEnd()
    {
        // 150 pages come in faster than the display refreshes; the list and the status line
        // are drawn a frame at a time, and their last drawing shows every row and the end.
        CRkItemList* l = tabs->newSearch(keyword("stream"));
        auto* status = tabs->findChild<QLabel*>(QStringLiteral("statusLine114"));
        test::PaintProbe rows(l->viewport(), [l] { return l->rows().rowCount(); });
        test::PaintProbe line(status, [status] { return status->text(); });
        QElapsedTimer clock;
        clock.start();
        const QString done = pagesText(searchtext::kStatusComplete, 150, 150);
        QTRY_COMPARE_WITH_TIMEOUT(tabs->statusText(), done, 60000);
        QTRY_COMPARE(rows.lastShown, QVariant(1500));
        QTRY_COMPARE(line.lastShown, QVariant(done));
        // Once a frame (16 ms) at most, with a few frames of slack for the start and the end.
        const qint64 frames = clock.elapsed() / 16 + 4;
        QVERIFY2(rows.paints <= frames, qPrintable(QStringLiteral("%1 paints").arg(rows.paints)));
        QVERIFY2(line.paints <= frames, qPrintable(QStringLiteral("%1 paints").arg(line.paints)));
    }

    void twoTabsTakeTurns()
    {
        // Answers held back a while, so that on a busy machine the second first page is
        // heard before the first tab's answer can bring on its second page.
        QVERIFY(sim->control("/sim/delay?ms=200").has_value());
        tabs->newSearch(keyword("beta"));
        tabs->newSearch(keyword("gamma"));
        QTRY_VERIFY_WITH_TIMEOUT(
            stateOf(list(0)) == ListState::Complete && stateOf(list(1)) == ListState::Complete, 15000);
        const auto pages = pagesRequested();
        QCOMPARE(pages.size(), size_t{10});
        QCOMPARE(pagesOf("beta"), (std::vector<int>{1, 2, 3, 4, 5}));
        QCOMPARE(pagesOf("gamma"), (std::vector<int>{1, 2, 3, 4, 5}));
        // Both first pages go out at once. After that the next page goes to the first tab
        // waiting for one, so the order depends on whose answer is in first (a tab whose
        // neighbour's page is still out goes on alone); the rotation's order is tested
        // without widgets in search_paging_test.
        QCOMPARE(pages[0].second, 1);
        QCOMPARE(pages[1].second, 1);
        QCOMPARE(list(0)->rows().rowCount(), 50);
        QCOMPARE(list(1)->rows().rowCount(), 50);
    }

    void pauseWhileWaitingForATurnThenResume()
    {
        QVERIFY(sim->control("/sim/delay?ms=150").has_value());
        tabs->newSearch(keyword("beta"));
        tabs->newSearch(keyword("gamma"));
        tabs->selectTab(0);
        QPointer<CRkItemList> first = list(0);
        QPointer<CRkItemList> second = list(1);
        // The button is pressed as the first list's page is reported, before its next turn
        // reaches it.
        bool paused = false;
        PageEventProbe probe([&](CRkItemList* sender) {
            if (paused || sender != first || first->progress().state != ListState::PageDone)
                return;
            tabs->pressPauseResume();
            paused = true;
        });
        tabs->installEventFilter(&probe);
        QTRY_VERIFY_WITH_TIMEOUT(paused, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(second), ListState::Complete, 15000);
        QCOMPARE(stateOf(first), ListState::Paused);
        const int shown = first->progress().currentPage;
        QVERIFY(shown >= 1 && shown < 5);
        QCOMPARE(static_cast<int>(pagesOf("beta").size()), shown);
        QCOMPARE(first->rows().rowCount(), shown * 10);

        tabs->selectTab(1);
        tabs->selectTab(0);
        QCOMPARE(tabs->statusText(), pagesText(searchtext::kStatusPaused, shown, 5));
        QCOMPARE(tabs->buttonText(), sjis(searchtext::kResume));

        tabs->pressPauseResume();
        QTRY_COMPARE_WITH_TIMEOUT(tabs->statusText(), pagesText(searchtext::kStatusComplete, 5, 5), 10000);
        QCOMPARE(pagesOf("beta"), (std::vector<int>{1, 2, 3, 4, 5}));
        QCOMPARE(first->rows().rowCount(), 50);
    }

    void resumeWhileThePageIsStillComingLoadsItOnce()
    {
        QVERIFY(sim->control("/sim/delay?ms=300").has_value());
        tabs->newSearch(keyword("delta"));
        QPointer<CRkItemList> l = list(0);
        int presses = 0;
        actWhen([&] { return l && l->isRunning() && l->progress().state == ListState::Loading; },
                [&] {
                    tabs->pressPauseResume();
                    ++presses;
                    actWhen([&] { return l && l->isRunning() && l->progress().state == ListState::Paused; },
                            [&] {
                                tabs->pressPauseResume();
                                ++presses;
                            });
                });
        QTRY_COMPARE_WITH_TIMEOUT(tabs->statusText(), pagesText(searchtext::kStatusComplete, 2, 2), 10000);
        QCOMPARE(presses, 2);
        QCOMPARE(pagesOf("delta"), (std::vector<int>{1, 2}));
        QCOMPARE(l->rows().rowCount(), 15);
    }

    void closingTheOnlyTabWhileItLoadsEndsTheWait()
    {
        QVERIFY(sim->control("/sim/delay?ms=3000").has_value());
        tabs->newSearch(keyword("alpha"));
        QPointer<CRkItemList> l = list(0);
        QElapsedTimer clock;
        actWhen([&] { return l && l->isRunning() && l->progress().state == ListState::Loading; },
                [&] {
                    clock.start();
                    tabs->setMenuTab(0);
                    tabs->closeMenuTab();
                });
        QTRY_COMPARE_WITH_TIMEOUT(frame.closed, 1, 5000);
        QVERIFY(clock.elapsed() < 1500);
        QTRY_VERIFY_WITH_TIMEOUT(l.isNull(), 2000);
        QCOMPARE(tabs->tabCount(), 0);
        QCOMPARE(tabs->currentIndex(), -1);
        QVERIFY(!tabs->isButtonShown());
        QCOMPARE(tabs->statusText(), QString());
    }

    void closingAPausedListWhoseRunStillWaitsIsSafe()
    {
        QVERIFY(sim->control("/sim/delay?ms=1000").has_value());
        tabs->newSearch(keyword("alpha"));
        QPointer<CRkItemList> l = list(0);
        actWhen([&] { return l && l->isRunning() && l->progress().state == ListState::Loading; },
                [&] {
                    tabs->pressPauseResume();
                    actWhen([&] { return l && l->isRunning() && l->progress().state == ListState::Paused; },
                            [&] {
                                tabs->setMenuTab(0);
                                tabs->closeMenuTab();
                            });
                });
        QTRY_COMPARE_WITH_TIMEOUT(frame.closed, 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(l.isNull(), 2000);
        QTest::qWait(200);
        QCOMPARE(frame.closed, 1);
    }

    void closingTheFirstOfThreeKeepsTheShownTab()
    {
        tabs->newSearch(keyword("delta"));
        tabs->newSearch(keyword("alpha"));
        tabs->newSearch(keyword("gamma"));
        QCOMPARE(tabs->currentIndex(), 2);
        QPointer<CRkItemList> firstList = list(0);
        CRkItemList* third = list(2);

        // A right-button press off the tabs names no tab, and the close command then does
        // nothing.
        QTest::mousePress(tabs->tabStrip(), Qt::RightButton, {}, QPoint(880, 5));
        QCOMPARE(tabs->menuTabIndex(), -1);
        tabs->tabPopup()->hide();
        tabs->closeMenuTab();
        QCOMPARE(tabs->tabCount(), 3);

        QTest::mousePress(tabs->tabStrip(), Qt::RightButton, {}, tabs->tabStrip()->tabRect(0).center());
        QCOMPARE(tabs->menuTabIndex(), 0);
        QCOMPARE(tabs->tabPopup()->actions().at(0)->text(), sjis(searchtext::kCloseTab));
        tabs->tabPopup()->actions().at(0)->trigger();
        tabs->tabPopup()->hide();

        QCOMPARE(tabs->tabCount(), 2);
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(tabs->tabStrip()->currentIndex(), 1);
        QCOMPARE(list(1), third);
        QVERIFY(third->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(firstList.isNull(), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(
            stateOf(list(0)) == ListState::Complete && stateOf(list(1)) == ListState::Complete, 15000);
        QVERIFY(pagesOf("delta").empty());
        QCOMPARE(tabs->tabCaption(1), QStringLiteral("gamma"));

        // A keyword's '&' is shown as typed, not taken for a shortcut mark.
        tabs->newSearch(keyword("a&b"));
        QCOMPARE(tabs->tabStrip()->tabText(2), QStringLiteral("a&&b"));
        QCOMPARE(tabs->tabCaption(2), QStringLiteral("a&b"));
        QCOMPARE(frame.closed, 0);
    }

    void lotNumberSearchShowsItsOneListing()
    {
        const std::string remain = test::percentEncode(platform::sjisToUtf8(testtext::kMinutes15));
        QVERIFY(sim->control("/sim/put?ItemNo=lot777&ItemName=lotitem&CurrentPrice=1500&AuctionType=NO"
                             "&ItemNum=1&BidNum=2&RemainTime=" +
                             remain)
                    .has_value());
        SearchRequest request;
        request.lotNumberMode = 1;
        request.text = "lot777";
        tabs->newSearch(request);
        QCOMPARE(tabs->tabCaption(0), sjis((std::string(searchtext::kLotNumberCaption) + "lot777").c_str()));
        QTRY_COMPARE_WITH_TIMEOUT(tabs->statusText(), pagesText(searchtext::kStatusComplete, 1, 1), 10000);
        QCOMPARE(list(0)->rows().rowCount(), 1);
        QCOMPARE(list(0)->rows().cell(0, kColumnItemNo), std::string("lot777"));
        QCOMPARE(list(0)->rows().cell(0, kColumnRemainTime), std::string(testtext::kMinutes15));
    }

    void searchWithoutHits()
    {
        tabs->newSearch(keyword("zzzznothing"));
        QTRY_COMPARE_WITH_TIMEOUT(tabs->statusText(), sjis(searchtext::kStatusNoHits), 10000);
        QVERIFY(!tabs->isButtonShown());
        QCOMPARE(list(0)->rows().rowCount(), 0);
        QCOMPARE(list(0)->progress().totalPages, 0);
    }

    void failedPageShowsItsError()
    {
        QVERIFY(sim->control("/sim/fault?mode=html&count=1").has_value());
        tabs->newSearch(keyword("alpha"));
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(list(0)), ListState::Failed, 10000);
        // The tab on top shows its error at once.
        QTRY_COMPARE_WITH_TIMEOUT(tabs->statusText(), pagesText(searchtext::kStatusError, 0, 0), 2000);

        // A new tab does not show the error of the tab it covers.
        tabs->newSearch(keyword("delta"));
        QCOMPARE(tabs->statusText(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(tabs->statusText(), pagesText(searchtext::kStatusComplete, 2, 2), 10000);
        tabs->selectTab(0);
        QCOMPARE(tabs->statusText(), pagesText(searchtext::kStatusError, 0, 0));
        QVERIFY(tabs->isButtonShown());
        // An error page is an answer, but not one that reads.
        QCOMPARE(list(0)->progress().failure, PageFailure::unreadable);

        // The button now retries: the failed page is asked for again and the search goes on.
        QCOMPARE(tabs->buttonText(), sjis(searchtext::kRetry));
        tabs->pressPauseResume();
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(list(0)), ListState::Complete, 10000);
        QCOMPARE(pagesOf("alpha"), (std::vector<int>{1, 1, 2, 3}));
        QCOMPARE(list(0)->progress().failure, PageFailure::none);
    }

    void aFailedLaterPageIsRetriedWhereItFailedAndTheSameSearchFindsItsTab()
    {
        tabs->newSearch(keyword("alpha"));
        QPointer<CRkItemList> l = list(0);
        // The second page meets a dropped connection.
        bool faulted = false;
        PageEventProbe probe([&](CRkItemList* sender) {
            if (sender != l || faulted)
                return;
            faulted = true;
            QVERIFY(sim->control("/sim/fault?mode=drop&count=1").has_value());
        });
        tabs->installEventFilter(&probe);
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(l), ListState::Failed, 10000);
        QCOMPARE(l->progress().failure, PageFailure::unreachable);

        // The same search again goes to its tab and tries the failed page once more.
        tabs->newSearch(keyword("delta"));
        QCOMPARE(tabs->tabOfSearch(keyword("alpha")), 0);
        QCOMPARE(tabs->tabOfSearch(keyword("delta")), 1);
        tabs->showSearchAgain(0);
        QCOMPARE(tabs->currentIndex(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(l), ListState::Complete, 10000);
        QCOMPARE(pagesOf("alpha"), (std::vector<int>{1, 2, 2, 3}));
        QCOMPARE(l->rows().rowCount(), 25);
    }

    void aServiceThatAsksToWaitHoldsThePagingWhichThenCompletes()
    {
        tabs->newSearch(keyword("alpha"));
        QPointer<CRkItemList> l = list(0);
        // The service refuses the second page, asking for a second's rest.
        std::chrono::system_clock::time_point refusedAt;
        PageEventProbe probe([&](CRkItemList* sender) {
            if (sender != l || refusedAt.time_since_epoch().count() != 0)
                return;
            refusedAt = std::chrono::system_clock::now();
            QVERIFY(sim->control("/sim/fault?mode=ratelimit&count=1&retry=1").has_value());
        });
        tabs->installEventFilter(&probe);
        QTRY_VERIFY_WITH_TIMEOUT(l && l->progress().serviceResumesAt.has_value(), 10000);
        QCOMPARE(stateOf(l), ListState::Loading);
        // The status line says when the page is asked for again: a second or two from now.
        const QString status = tabs->statusText();
        QVERIFY2(status.contains(localClock(refusedAt + std::chrono::seconds(1))) ||
                     status.contains(localClock(refusedAt + std::chrono::seconds(2))) ||
                     status.contains(localClock(refusedAt + std::chrono::seconds(3))),
                 qPrintable(status));

        QTRY_COMPARE_WITH_TIMEOUT(tabs->statusText(), pagesText(searchtext::kStatusComplete, 3, 3), 10000);
        QCOMPARE(pagesOf("alpha"), (std::vector<int>{1, 2, 2, 3}));
        QCOMPARE(l->rows().rowCount(), 25);
    }

    void aFailedPageDoesNotHoldUpTheOtherTab()
    {
        QVERIFY(sim->control("/sim/delay?ms=30").has_value());
        tabs->newSearch(keyword("beta"));
        tabs->newSearch(keyword("gamma"));
        bool faulted = false;
        actWhen([&] { return sim->requests().size() >= 4; },
                [&] { faulted = sim->control("/sim/fault?mode=html&count=1").has_value(); });
        QTRY_VERIFY_WITH_TIMEOUT(
            (stateOf(list(0)) == ListState::Failed && stateOf(list(1)) == ListState::Complete) ||
                (stateOf(list(1)) == ListState::Failed && stateOf(list(0)) == ListState::Complete),
            20000);
        QVERIFY(faulted);
        const int done = stateOf(list(0)) == ListState::Complete ? 0 : 1;
        QCOMPARE(list(done)->rows().rowCount(), 50);
    }

    void exitWhileTwoListsLoad()
    {
        QVERIFY(sim->control("/sim/delay?ms=3000").has_value());
        tabs->newSearch(keyword("alpha"));
        tabs->newSearch(keyword("beta"));
        QPointer<CRkItemList> a = list(0);
        QPointer<CRkItemList> b = list(1);
        QElapsedTimer clock;
        actWhen([&] { return a && b && a->isRunning() && b->isRunning(); },
                [&] {
                    clock.start();
                    tabs->shutdownSearchTabs();
                });
        QTRY_COMPARE_WITH_TIMEOUT(frame.closed, 1, 5000);
        QVERIFY(clock.elapsed() < 1500);
        QCOMPARE(tabs->statusText(), sjis(searchtext::kStatusShutdown));
        QTRY_VERIFY_WITH_TIMEOUT(a.isNull() && b.isNull(), 2000);
        QTest::qWait(200);
        QCOMPARE(frame.closed, 1);
        QVERIFY(tabs->allLists().empty());
    }

    void aServiceThatNeverReachesItsLastPageStillEnds()
    {
        struct Case {
            bool echoPage;
            int rowPages;
            int requests;
            int rows;
            int shownPage;
        };
        // TotalPage 0 with CurrentPage 1: page 1 is at or past the last page, whether the
        // service would go on echoing the page asked for or stay on page 1.
        const Case cases[] = {{true, 3, 1, 10, 1}, {false, 0, 1, 10, 1}};
        for (const Case& c : cases) {
            test::EndlessPagesServer server(c.echoPage, c.rowPages);
            Endpoints endless;
            endless.listingBase = server.baseUrl();
            CRkTabCtrl own(window.get(), settings, endless, host, &frame);
            own.newSearch(keyword("endless"));
            QTRY_COMPARE_WITH_TIMEOUT(stateOf(own.listOfTab(0)), ListState::Complete, 10000);
            QTRY_COMPARE_WITH_TIMEOUT(server.requests(), c.requests, 2000);
            QTest::qWait(100);
            QCOMPARE(server.requests(), c.requests);
            QCOMPARE(own.listOfTab(0)->rows().rowCount(), c.rows);
            QTRY_COMPARE_WITH_TIMEOUT(own.statusText(),
                                      pagesText(searchtext::kStatusComplete, c.shownPage, c.shownPage), 2000);
        }
    }

    void aSlowTabHoldsUpNoOtherTab()
    {
        QVERIFY(sim->control("/sim/delay?ms=3000&keyword=alpha").has_value());
        tabs->newSearch(keyword("alpha"));
        tabs->newSearch(keyword("beta"));
        QPointer<CRkItemList> slow = list(0);
        QPointer<CRkItemList> quick = list(1);
        // Seen from inside the slow tab's wait, as the quick tab completes.
        bool seen = false;
        std::vector<int> slowPages;
        bool slowWaiting = false;
        actWhen([&] { return quick && quick->progress().state == ListState::Complete; },
                [&] {
                    slowPages = pagesOf("alpha");
                    slowWaiting = slow && slow->isRunning() && slow->rows().rowCount() == 0;
                    seen = true;
                    tabs->setMenuTab(0);
                    tabs->closeMenuTab();
                });
        QTRY_VERIFY_WITH_TIMEOUT(seen, 10000);
        QCOMPARE(pagesOf("beta"), (std::vector<int>{1, 2, 3, 4, 5}));
        QCOMPARE(quick->rows().rowCount(), 50);
        QCOMPARE(slowPages, std::vector<int>{1});
        QVERIFY(slowWaiting);
        QTRY_VERIFY_WITH_TIMEOUT(slow.isNull(), 5000);
    }

    void aMessageIsReadOnlyAsItsOwnType()
    {
        // stopList and aramExitRequest share their number; neither is taken for the other.
        platform::PrivateMessageEvent<StopList> stop{StopList{}};
        QVERIFY(platform::messageOf<StopList>(&stop));
        QVERIFY(!platform::messageOf<platform::AramExitRequest>(&stop));
        platform::PrivateMessageEvent<StartPaging> start{StartPaging{keyword("kw")}};
        QCOMPARE(platform::messageOf<StartPaging>(&start)->request.text, std::string("kw"));
        QVERIFY(!platform::messageOf<LoadNextPage>(&start));
    }

    void exitWithoutTabsReportsAtOnce()
    {
        tabs->shutdownSearchTabs();
        QTRY_COMPARE_WITH_TIMEOUT(frame.closed, 1, 1000);
    }

    void rowsShowTypesAndColours()
    {
        const std::string minutes = test::percentEncode(platform::sjisToUtf8(testtext::kMinutes15));
        const char* types[] = {"NO", "FP", "GB"};
        for (const char* type : types) {
            QVERIFY(sim->control(std::string("/sim/put?ItemNo=tint") + type + "&ItemName=tint%20" + type +
                                 "&CurrentPrice=100&AuctionType=" + type +
                                 "&ItemNum=1&BidNum=0&RemainTime=" + minutes)
                        .has_value());
        }
        settings.typeColours[0] = {makeColourRef(10, 20, 30), makeColourRef(200, 210, 220)};
        settings.typeColours[3] = {makeColourRef(1, 2, 3), makeColourRef(4, 5, 6)};
        settings.typeColours[4] = {makeColourRef(7, 8, 9), makeColourRef(11, 12, 13)};
        tabs->newSearch(keyword("tint"));
        QTRY_COMPARE_WITH_TIMEOUT(tabs->statusText(), pagesText(searchtext::kStatusComplete, 1, 1), 10000);

        const ResultListModel& rows = list(0)->rows();
        QCOMPARE(rows.rowCount(), 3);
        struct Expect {
            std::string remain;
            QVariant text;
            QVariant back;
        };
        const std::map<std::string, Expect> expected = {
            {"tintNO", {testtext::kMinutes15, QColor(10, 20, 30), QColor(200, 210, 220)}},
            {"tintGB", {testtext::kDash, QColor(1, 2, 3), QColor(4, 5, 6)}},
            {"tintFP", {testtext::kDash, QColor(7, 8, 9), QColor(11, 12, 13)}},
        };
        for (int row = 0; row < rows.rowCount(); ++row) {
            const std::string itemNo = rows.cell(row, kColumnItemNo);
            const Expect& e = expected.at(itemNo);
            QCOMPARE(rows.cell(row, kColumnRemainTime), e.remain);
            QCOMPARE(rows.data(rows.index(row, kColumnBids), Qt::ForegroundRole), e.text);
            QCOMPARE(rows.data(rows.index(row, kColumnItemName), Qt::BackgroundRole), e.back);
        }

        // Colours are read when the rows are drawn: a change shows at once.
        settings.typeColours[4].back = makeColourRef(99, 98, 97);
        for (int row = 0; row < rows.rowCount(); ++row) {
            if (rows.cell(row, kColumnItemNo) == "tintFP")
                QCOMPARE(rows.data(rows.index(row, kColumnPrice), Qt::BackgroundRole),
                         QVariant(QColor(99, 98, 97)));
        }
        settings = EnvSettings();
    }

    void headerClicksSort()
    {
        CRkItemList l(window.get(), CRkItemList::kFirstControlId, settings, endpoints, host);
        const std::vector<ItemInfo> page = {
            record("n1", testtext::kKanaI, testtext::kYen12000, "NO", testtext::kMinutes15),
            record("n2", "b", testtext::kYen980, "FP", testtext::kDays2),
            record("n3", testtext::kKanaA, testtext::kYen500, "GB", testtext::kHours5),
            record("n4", "a", "20000", "XX", testtext::kSeconds30),
        };
        l.addPage(page);
        const ResultListModel& rows = l.rows();
        auto order = [&] {
            std::string out;
            for (int r = 0; r < rows.rowCount(); ++r)
                out += rows.cell(r, kColumnItemNo) + " ";
            return out;
        };
        auto headerImage = [&](int column) {
            return rows.headerImage(column);
        };

        struct Click {
            int column;
            std::string order;
            int image;
        };
        const std::vector<Click> clicks = {
            {kColumnPrice, "n3 n2 n1 n4 ", kImageSortUp},
            {kColumnPrice, "n4 n1 n2 n3 ", kImageSortDown},
            {kColumnItemName, "n4 n2 n3 n1 ", kImageSortUp},
            {kColumnRemainTime, "n2 n3 n4 n1 ", kImageSortUp}, // "-" rows first
            {kColumnPrice, "n3 n2 n1 n4 ", kImageSortUp},      // price keeps its own direction
            {kColumnType, "n4 n3 n2 n1 ", kImageSortUp},       // ???? < labels by code
        };
        int previous = -1;
        for (const Click& click : clicks) {
            QTest::mouseClick(l.horizontalHeader()->viewport(), Qt::LeftButton, {},
                              QPoint(l.horizontalHeader()->sectionViewportPosition(click.column) + 5, 5));
            QCOMPARE(order(), click.order);
            QCOMPARE(headerImage(click.column), click.image);
            if (previous >= 0 && previous != click.column)
                QCOMPARE(headerImage(previous), int(kImageHeaderNone));
            previous = click.column;
        }

        // An unknown type shows "????" and keeps the default colours.
        for (int r = 0; r < rows.rowCount(); ++r) {
            if (rows.cell(r, kColumnItemNo) != "n4")
                continue;
            QCOMPARE(rows.cell(r, kColumnType), std::string("????"));
            QCOMPARE(rows.data(rows.index(r, kColumnItemNo), Qt::ForegroundRole), QVariant());
            QCOMPARE(rows.data(rows.index(r, kColumnItemNo), Qt::BackgroundRole), QVariant());
        }

        // A page arriving after the sort goes to the top, unsorted.
        l.addPage({record("n5", "z", "1", "NO", testtext::kSeconds30)});
        QCOMPARE(rows.cell(0, kColumnItemNo), std::string("n5"));
        QCOMPARE(l.records().back().ItemNo, std::string("n5"));
    }

    void watchedRowsAndCommands()
    {
        host.watched = {"w1"};
        CRkItemList l(window.get(), CRkItemList::kFirstControlId, settings, endpoints, host);
        l.resize(600, 300);
        l.show();
        const ItemInfo firstW1 = record("w1", "first", "100", "NO", testtext::kSeconds30);
        const ItemInfo other = record("x2", "other", "200", "NO", testtext::kSeconds30);
        const ItemInfo secondW1 = record("w1", "second", "300", "NO", testtext::kSeconds30);
        l.addPage({firstW1, other, secondW1});
        const ResultListModel& rows = l.rows();
        QCOMPARE(rows.rowImage(0), int(kImageBell));
        QCOMPARE(rows.rowImage(1), int(kImageNone));
        QCOMPARE(rows.rowImage(2), int(kImageBell));
        // A row without the bell keeps the image's place: the numbers stand in one column.
        QCOMPARE(textLeft(l, rows.index(1, kColumnItemNo)), textLeft(l, rows.index(0, kColumnItemNo)));

        l.clearWatchedMark("w1");
        QCOMPARE(rows.rowImage(0), int(kImageNone));
        QCOMPARE(rows.rowImage(2), int(kImageBell));

        // Without a row marked, the commands address nothing.
        l.addMarkedToWatchList();
        l.showMarkedItem();
        QVERIFY(host.added.empty());
        QVERIFY(host.shown.empty());

        // The commands take the first record with the row's number, not the row's own.
        l.setCurrentIndex(rows.index(2, 0));
        QCOMPARE(l.selectPopup()->actions().at(0)->text(), sjis(searchtext::kAddToWatchList));
        l.selectPopup()->actions().at(0)->trigger();
        QCOMPARE(host.added.size(), size_t{1});
        QCOMPARE(host.added[0], firstW1);
        QCOMPARE(rows.rowImage(2), int(kImageBell));

        l.setCurrentIndex(rows.index(1, 0));
        l.addMarkedToWatchList();
        QCOMPARE(host.added.back(), other);
        QCOMPARE(rows.rowImage(1), int(kImageBell));

        QTest::mouseClick(l.viewport(), Qt::LeftButton, {}, l.visualRect(rows.index(2, 1)).center());
        QTest::mouseDClick(l.viewport(), Qt::LeftButton, {}, l.visualRect(rows.index(2, 1)).center());
        QCOMPARE(host.shown.size(), size_t{1});
        QCOMPARE(host.shown[0].first, kOriginSearchList);
        QCOMPARE(host.shown[0].second, firstW1);
    }

    void unmarkReachesEveryList()
    {
        QVERIFY(sim->control("/sim/put?ItemNo=bell1&ItemName=ring%20one&CurrentPrice=5&AuctionType=NO"
                             "&ItemNum=1&BidNum=0&RemainTime=1")
                    .has_value());
        host.watched = {"bell1"};
        tabs->newSearch(keyword("ring"));
        tabs->newSearch(keyword("ring"));
        QTRY_VERIFY_WITH_TIMEOUT(
            stateOf(list(0)) == ListState::Complete && stateOf(list(1)) == ListState::Complete, 10000);
        QCOMPARE(list(0)->rows().rowImage(0), int(kImageBell));
        QCOMPARE(list(1)->rows().rowImage(0), int(kImageBell));
        tabs->unmarkItem("bell1");
        QCOMPARE(list(0)->rows().rowImage(0), int(kImageNone));
        QCOMPARE(list(1)->rows().rowImage(0), int(kImageNone));
    }

    void sortingKeepsAModelValid()
    {
        CRkItemList l(window.get(), CRkItemList::kFirstControlId, settings, endpoints, host);
        QAbstractItemModelTester tester(const_cast<ResultListModel*>(&l.rows()),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        // Pages of one, three and ten rows, each in one insertion the tester checks.
        int n = 0;
        for (const int size : {1, 3, 10, 3, 1, 10}) {
            std::vector<ItemInfo> page;
            for (int i = 0; i < size; ++i, ++n)
                page.push_back(record("m" + std::to_string(n), "t" + std::to_string(n % 7),
                                      std::to_string(n * 37 % 11), "NO", testtext::kSeconds30));
            l.addPage(page);
        }
        QCOMPARE(l.rows().rowCount(), n);
        l.setCurrentIndex(l.rows().index(4, 0));
        const std::string marked = l.rows().cell(4, kColumnItemNo);
        l.sortByColumn(kColumnPrice);
        l.sortByColumn(kColumnItemName);
        // The selection mark follows its row through the sorts.
        QCOMPARE(l.rows().cell(l.currentIndex().row(), kColumnItemNo), marked);
    }
};

} // namespace pelimo

QTEST_MAIN(pelimo::SearchTabsTest)
#include "SearchTabsTest.moc"
