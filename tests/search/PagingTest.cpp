#include "search/PagingSession.h"
#include "search/TurnRotation.h"

#include <chrono>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pelimo {
namespace {

// A listing service by script: answers come from `answer`, at once inside start, or are
// held until the test releases them.
class ScriptedSource final : public PageSource {
public:
    void start(const SearchRequest& request, Done done) override
    {
        pages.push_back(request.page);
        if (log)
            log->push_back(request.text + std::to_string(request.page));
        if (refusals > 0) {
            --refusals;
            PageResult refused;
            refused.serviceWait = ServiceWait{std::chrono::hours(1), std::chrono::system_clock::now()};
            done(std::move(refused));
            return;
        }
        if (hold) {
            held = std::move(done);
            return;
        }
        done(answer(request.page));
    }
    void abort() override
    {
        ++aborts;
        release(PageResult{});
    }
    void release(PageResult result)
    {
        if (Done done = std::exchange(held, nullptr))
            done(std::move(result));
    }
    void release() { release(answer(pages.back())); }

    // Pages of ten rows out of totalPages, numbered as asked.
    std::function<PageResult(int32_t)> answer = [this](int32_t page) {
        PageResult r;
        r.ok = true;
        r.totalPages = totalPages;
        r.currentPage = page;
        for (int i = 0; i < 10; ++i) {
            ItemInfo item;
            item.ItemNo = "p" + std::to_string(page) + "i" + std::to_string(i);
            r.items.push_back(item);
        }
        return r;
    };
    int32_t totalPages = 3;
    bool hold = false;
    // Requests the service refuses, asking us to wait for an hour.
    int refusals = 0;
    Done held;
    std::vector<int32_t> pages;
    int aborts = 0;
    std::vector<std::string>* log = nullptr;
};

// The rows as a list would show them, the size of each insertion, and the reports to the tab
// control.
class RecordingView final : public PagingView {
public:
    void addPage(const std::vector<ItemInfo>& page) override
    {
        for (size_t i = 0; i < page.size(); ++i)
            rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(i), page[i].ItemNo);
        insertions.push_back(page.size());
        // A copy: the action may destroy the list.
        if (const std::function<void(int)> action = onPage)
            action(static_cast<int>(rows.size()));
    }
    void progressChanged() override {}
    void report(PagingReport r) override
    {
        reports.push_back(r);
        if (onReport)
            onReport(r);
    }

    std::vector<std::string> rows;
    std::vector<size_t> insertions;
    std::vector<PagingReport> reports;
    std::function<void(int)> onPage;
    std::function<void(PagingReport)> onReport;
};

// One list: its source, view and session.
struct List {
    List() : session(source, view) {}
    ScriptedSource source;
    RecordingView view;
    PagingSession session;
};

SearchRequest keyword(const std::string& text)
{
    SearchRequest r;
    r.text = text;
    return r;
}

TEST(PagingSession, PagesGoOnTopInPageOrderUntilTheLastOne)
{
    List l;
    l.session.startPaging(keyword("a"));
    EXPECT_EQ(l.session.progress().state, ListState::PageDone);
    l.session.loadNextPage();
    l.session.loadNextPage();
    EXPECT_EQ(l.source.pages, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(l.session.progress().state, ListState::Complete);
    EXPECT_EQ(l.session.progress().totalPages, 3);
    EXPECT_EQ(l.session.progress().currentPage, 3);
    ASSERT_EQ(l.view.rows.size(), size_t{30});
    // Each page in one insertion.
    EXPECT_EQ(l.view.insertions, (std::vector<size_t>{10, 10, 10}));
    EXPECT_EQ(l.view.rows.front(), "p3i0");
    EXPECT_EQ(l.view.rows[9], "p3i9");
    EXPECT_EQ(l.view.rows.back(), "p1i9");
    EXPECT_EQ(l.view.reports, std::vector<PagingReport>(3, PagingReport::pageEvent));
    // Complete is final.
    l.session.loadNextPage();
    l.session.pauseLoading();
    EXPECT_EQ(l.source.pages.size(), size_t{3});
    EXPECT_EQ(l.session.progress().state, ListState::Complete);
}

TEST(PagingSession, ExcludeWordsLeaveOutRowsButNotThePagesAfterThem)
{
    List l;
    // Page 2 holds nothing but listings the words leave out; the pages after it still come.
    l.source.answer = [](int32_t page) {
        PageResult r;
        r.ok = true;
        r.totalPages = 3;
        r.currentPage = page;
        for (int i = 0; i < 4; ++i) {
            ItemInfo item;
            item.ItemNo = "p" + std::to_string(page) + "i" + std::to_string(i);
            item.ItemName = page == 2 || i == 0 ? "JUNK lens" : "lens";
            r.items.push_back(item);
        }
        return r;
    };
    SearchRequest request = keyword("lens");
    request.excludeWords = "junk";
    l.session.startPaging(request);
    l.session.loadNextPage();
    l.session.loadNextPage();
    EXPECT_EQ(l.source.pages, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(l.session.progress().state, ListState::Complete);
    EXPECT_EQ(l.view.rows, (std::vector<std::string>{"p3i1", "p3i2", "p3i3", "p1i1", "p1i2", "p1i3"}));
    EXPECT_EQ(l.session.progress().excluded, 6);

    // A run again from page 1 counts anew.
    request.excludeWords.clear();
    l.session.startPaging(request);
    EXPECT_EQ(l.session.progress().excluded, 0);
    EXPECT_EQ(l.view.rows.size(), size_t{10});
}

TEST(PagingSession, EachAnswerEndsOrContinuesTheSearch)
{
    struct Case {
        const char* what;
        int32_t page;
        bool lotNumber;
        bool ok;
        int32_t total;
        int32_t current;
        int rows;
        ListState state;
        int32_t shownCurrent;
        int32_t shownTotal;
    };
    const Case cases[] = {
        {"more pages", 1, false, true, 3, 1, 10, ListState::PageDone, 1, 3},
        {"the last page", 3, false, true, 3, 3, 4, ListState::Complete, 3, 3},
        {"no hits", 1, false, true, 1, 1, 0, ListState::Complete, 0, 0},
        {"never reports its last page", 1, false, true, 0, 1, 10, ListState::Complete, 1, 1},
        {"past the last page", 4, false, true, 3, 4, 10, ListState::Complete, 4, 4},
        {"a page without rows", 2, false, true, 5, 2, 0, ListState::Complete, 2, 5},
        {"a page behind the one asked for", 2, false, true, 5, 1, 10, ListState::Complete, 1, 5},
        {"a lot number", 1, true, true, 2, 1, 1, ListState::Complete, 1, 2},
        {"the page cap", PagingSession::kMaxPages, false, true, PagingSession::kMaxPages + 5,
         PagingSession::kMaxPages, 10, ListState::Complete, PagingSession::kMaxPages,
         PagingSession::kMaxPages + 5},
        {"a failed request", 1, false, false, 0, 0, 0, ListState::Failed, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        List l;
        l.source.answer = [&c](int32_t) {
            PageResult r;
            r.ok = c.ok;
            r.totalPages = c.total;
            r.currentPage = c.current;
            r.items.resize(static_cast<size_t>(c.rows));
            return r;
        };
        SearchRequest request = keyword("a");
        request.page = c.page;
        request.lotNumberMode = c.lotNumber ? 1 : 0;
        l.session.startPaging(request);
        EXPECT_EQ(l.session.progress().state, c.state);
        EXPECT_EQ(l.session.progress().currentPage, c.shownCurrent);
        EXPECT_EQ(l.session.progress().totalPages, c.shownTotal);
        EXPECT_EQ(l.view.rows.size(), static_cast<size_t>(c.rows));
        EXPECT_EQ(l.view.reports, std::vector<PagingReport>{PagingReport::pageEvent});
    }
}

TEST(PagingSession, APauseKeepsEveryRowOfAPageReceived)
{
    enum When { BeforeTheRun, RequestOut, ServiceWaiting, PageGoingIn };
    struct Case {
        const char* what;
        When when;
        size_t rowsKept;
        int32_t currentPage;
        int32_t resumedPage;
    };
    const Case cases[] = {
        {"before the run", BeforeTheRun, 0, 0, 1},
        {"while the request is out", RequestOut, 0, 0, 1},
        {"while the service makes it wait", ServiceWaiting, 0, 0, 1},
        {"while its page goes in", PageGoingIn, 10, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        List l;
        l.source.hold = c.when == RequestOut;
        l.source.refusals = c.when == ServiceWaiting ? 1 : 0;
        if (c.when == BeforeTheRun)
            l.session.pauseLoading();
        if (c.when == PageGoingIn)
            l.view.onPage = [&](int) {
                l.session.pauseLoading();
            };
        l.session.startPaging(keyword("a"));
        if (c.when == RequestOut) {
            l.session.pauseLoading();
            l.source.release();
        }
        if (c.when == ServiceWaiting)
            l.session.pauseLoading();
        EXPECT_EQ(l.session.progress().state, ListState::Paused);
        EXPECT_EQ(l.view.rows.size(), c.rowsKept);
        EXPECT_EQ(l.session.progress().currentPage, c.currentPage);
        EXPECT_EQ(l.view.reports, std::vector<PagingReport>{PagingReport::pageEvent});

        l.view.onPage = nullptr;
        l.source.hold = false;
        l.session.loadNextPage();
        EXPECT_EQ(l.source.pages.back(), c.resumedPage);
        EXPECT_EQ(l.session.progress().state, ListState::PageDone);
    }
}

TEST(PagingSession, AResumeWhileTheRequestIsOutStartsNoSecondOne)
{
    List l;
    l.source.hold = true;
    l.session.startPaging(keyword("a"));
    l.session.pauseLoading();
    l.session.loadNextPage();
    l.session.loadNextPage();
    EXPECT_EQ(l.source.pages, std::vector<int32_t>{1});
    EXPECT_EQ(l.session.progress().state, ListState::Loading);
    l.source.release();
    EXPECT_EQ(l.session.progress().state, ListState::PageDone);
    EXPECT_EQ(l.view.rows.size(), size_t{10});
}

TEST(PagingSession, AStopEndsTheListWhereverItIs)
{
    enum When { Idle, Waiting, ServiceWaiting, Filling, PageDone, Paused };
    struct Case {
        const char* what;
        When when;
        int aborts;
        ListState state;
        size_t rows;
    };
    const Case cases[] = {
        {"before the first page", Idle, 0, ListState::Stopped, 0},
        {"while the request is out", Waiting, 1, ListState::Stopped, 0},
        {"while the service makes it wait", ServiceWaiting, 0, ListState::Stopped, 0},
        {"while its page goes in", Filling, 0, ListState::Stopped, 10},
        {"waiting for its turn", PageDone, 0, ListState::PageDone, 10},
        {"paused", Paused, 0, ListState::Paused, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        List l;
        l.source.hold = c.when == Waiting;
        l.source.refusals = c.when == ServiceWaiting ? 1 : 0;
        if (c.when == Filling)
            l.view.onPage = [&](int) {
                l.session.stopList();
            };
        if (c.when != Idle)
            l.session.startPaging(keyword("a"));
        if (c.when == Paused)
            l.session.pauseLoading();
        if (c.when != Filling)
            l.session.stopList();
        EXPECT_EQ(l.source.aborts, c.aborts);
        EXPECT_EQ(l.session.progress().state, c.state);
        EXPECT_EQ(l.view.rows.size(), c.rows);
        ASSERT_FALSE(l.view.reports.empty());
        EXPECT_EQ(l.view.reports.back(), PagingReport::listStopped);

        // A closing list starts no run, whatever reaches it afterwards.
        const size_t requests = l.source.pages.size();
        l.source.hold = false;
        l.session.loadNextPage();
        l.session.startPaging(keyword("b"));
        EXPECT_FALSE(l.session.takeTurn());
        EXPECT_EQ(l.source.pages.size(), requests);
    }
}

TEST(PagingSession, AListDestroyedDuringItsRunIsSafe)
{
    // While its request is out: the request is aborted, and an answer that still comes
    // finds nobody.
    {
        auto l = std::make_unique<List>();
        l->source.hold = true;
        l->session.startPaging(keyword("a"));
        ScriptedSource::Done late = std::exchange(l->source.held, nullptr);
        l.reset();
        PageResult r;
        r.ok = true;
        r.totalPages = 3;
        r.currentPage = 1;
        r.items.resize(10);
        late(std::move(r));
    }
    // From inside its view while its page goes in.
    {
        auto l = std::make_unique<List>();
        l->view.onPage = [&](int) {
            l.reset();
        };
        l->session.startPaging(keyword("a"));
        EXPECT_EQ(l, nullptr);
    }
}

// The tab control's side: posted messages run from a queue, as the event loop runs them.
class Tabs final : public TurnRotationHost {
public:
    Tabs() : rotation(*this) {}

    List& open(const std::string& word, bool hold = false)
    {
        auto& l = *lists.emplace_back(std::make_unique<List>());
        l.source.hold = hold;
        l.source.log = &requests;
        l.view.onReport = [this, &l](PagingReport r) {
            posted.push_back([this, &l, r] {
                if (r == PagingReport::pageEvent)
                    rotation.pageEvent(l.session);
                else
                    rotation.remove(l.session);
            });
        };
        rotation.add(l.session);
        posted.push_back([&l, word] { l.session.startPaging(keyword(word)); });
        return l;
    }
    void close(List& l)
    {
        rotation.markClosing(l.session);
        l.session.stopList();
    }
    void run()
    {
        while (!posted.empty()) {
            auto next = std::move(posted.front());
            posted.pop_front();
            next();
        }
    }

    void giveTurn(PagingSession& session) override
    {
        posted.push_back([this, &session] { rotation.deliverTurn(session); });
    }
    void searchTabsClosed() override { ++closed; }

    TurnRotation rotation;
    std::vector<std::unique_ptr<List>> lists;
    std::deque<std::function<void()>> posted;
    std::vector<std::string> requests;
    int closed = 0;
};

TEST(TurnRotation, TabsTakeTurnsPageByPage)
{
    Tabs tabs;
    tabs.open("a");
    tabs.open("b");
    tabs.open("c").source.totalPages = 2;
    tabs.run();
    EXPECT_EQ(tabs.requests, (std::vector<std::string>{"a1", "b1", "c1", "a2", "b2", "c2", "a3", "b3"}));
}

TEST(TurnRotation, ASlowTabHoldsUpNoOtherTab)
{
    Tabs tabs;
    List& slow = tabs.open("s", true);
    List& quick = tabs.open("q");
    quick.source.totalPages = 4;
    tabs.run();
    EXPECT_EQ(quick.source.pages, (std::vector<int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(quick.session.progress().state, ListState::Complete);
    EXPECT_EQ(slow.source.pages, std::vector<int32_t>{1});

    // The slow tab's pages go on once its service answers.
    slow.source.hold = false;
    slow.source.release();
    tabs.run();
    EXPECT_EQ(slow.source.pages, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(slow.session.progress().state, ListState::Complete);
}

TEST(TurnRotation, AFailedPausedOrClosedTabHoldsUpNoOtherTab)
{
    struct Case {
        const char* what;
        std::function<void(Tabs&, List& first)> act;
        ListState firstState;
    };
    const Case cases[] = {
        {"a failed page",
         [](Tabs&, List& first) {
             first.source.answer = [](int32_t) {
                 return PageResult{};
             };
         },
         ListState::Failed},
        {"a pause while its turn is on the way",
         [](Tabs& tabs, List& first) {
             first.view.onReport = [&tabs, &first, inner = first.view.onReport](PagingReport r) {
                 inner(r);
                 tabs.posted.push_back([&first] { first.session.pauseLoading(); });
             };
         },
         ListState::Paused},
        {"a tab closed while its request is out",
         [](Tabs& tabs, List& first) {
             first.source.hold = true;
             tabs.posted.push_back([&tabs, &first] { tabs.close(first); });
         },
         ListState::Stopped},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tabs tabs;
        List& first = tabs.open("a");
        List& second = tabs.open("b");
        c.act(tabs, first);
        tabs.run();
        EXPECT_EQ(first.session.progress().state, c.firstState);
        EXPECT_EQ(second.session.progress().state, ListState::Complete);
        EXPECT_EQ(second.source.pages, (std::vector<int32_t>{1, 2, 3}));
    }
}

TEST(TurnRotation, TheLastListGoneClosesTheTabsOnce)
{
    Tabs tabs;
    List& a = tabs.open("a", true);
    List& b = tabs.open("b");
    tabs.run();
    tabs.close(b);
    tabs.close(a);
    tabs.close(a); // a repeated stop while its run ends
    tabs.run();
    EXPECT_EQ(tabs.closed, 1);
    EXPECT_TRUE(tabs.rotation.empty());
}

} // namespace
} // namespace pelimo
