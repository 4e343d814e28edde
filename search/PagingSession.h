#pragma once

#include "platform/EventLoop.h"
#include "search/PageSource.h"
#include "search/PagingView.h"
#include "search/ProgressSnapshot.h"
#include "search/exclude/ExcludeWords.h"
#include "xmlclient/SearchRequest.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace pelimo {

// The paging of one result list: its request, progress and flags, the handlers of the tab
// control's requests, and the page run. A run is a chain of steps driven by the source's
// answer, so it works alike whether the source answers inside start or later. The run handles
// no events of its own: a page's rows go in whole, and whatever the user does meanwhile is
// handled between pages.
class PagingSession {
public:
    // A guard against a service whose CurrentPage never reaches TotalPage.
    static constexpr int32_t kMaxPages = 100000;

    PagingSession(PageSource& source, PagingView& view);
    ~PagingSession();
    PagingSession(const PagingSession&) = delete;
    PagingSession& operator=(const PagingSession&) = delete;

    // The tab control's requests. A run from page 1 leaves out the listings whose titles hold
    // the request's exclude words; the pages are still asked for as the service counts them.
    void startPaging(const SearchRequest& request);
    void pauseLoading();
    // The button's resume, or the next page of a list in PageDone; after a failed page, that
    // page again (the button's retry).
    void loadNextPage();
    void stopList();

    // A turn the rotation gave: taken only while the list still waits in PageDone; false
    // when declined (paused, resumed by the button, or closing meanwhile), and the turn must
    // pass on.
    bool takeTurn();
    // The rotation's bookkeeping: a turn posted to the list, and the list's own pageEvent
    // handled. A list whose pageEvent is still on its way hands out its own turn then; a
    // list whose turn is on its way has one.
    void turnGiven() { turnOnItsWay = true; }
    void pageEventHandled() { pageEventOnItsWay = false; }
    bool waitsForTurn() const
    {
        return progressState.state == ListState::PageDone && !turnOnItsWay && !pageEventOnItsWay &&
               !closing && !runActive;
    }

    // The last page a run fetches, for searches that must not page on without end.
    void setPageLimit(int32_t pages) { pageLimit = pages < 1 ? 1 : pages; }

    const ProgressSnapshot& progress() const { return progressState; }
    const SearchRequest& request() const { return searchRequest; }
    // A page run is in progress: its request is out or its rows are going in.
    bool isRunning() const { return runActive; }
    bool isClosing() const { return closing; }

private:
    void runPage();
    void requestPage();
    void onAnswer(PageResult result);
    void waitForService(const ServiceWait& wait);
    void serviceWaitOver();
    // Ends a wait for the service, if the run is in one; true when it was.
    bool dropServiceWait();
    void fillRows();
    void finishPage();
    void endRun();
    void setState(ListState state);
    void setRunState(ListState state);
    bool flagged() const { return stopRequested == 1 || pauseRequested == 1; }

    PageSource& source;
    PagingView& view;
    // Expires with the session: steps after a call into the source or the view check it.
    std::shared_ptr<int> life = std::make_shared<int>(0);

    SearchRequest searchRequest;
    ExcludeWords exclude;
    ProgressSnapshot progressState;
    int32_t stopRequested = 0;
    int32_t pauseRequested = 0;
    bool closing = false;
    int32_t pageLimit = kMaxPages;
    bool turnOnItsWay = false;
    bool pageEventOnItsWay = false;

    // The run in progress.
    bool runActive = false;
    bool awaitingAnswer = false;
    bool waitingForService = false;
    std::unique_ptr<platform::EventTimer> serviceWaitTimer;
    bool pageFilled = false;
    ListState runState = ListState::Idle; // Loading or Filling while a run is in progress
    SearchRequest runRequest;
    std::vector<ItemInfo> pageRows;
    // The rows of the page as the service answered it, before the exclude words: whether the
    // search goes on depends on them.
    int32_t answeredRows = 0;
};

} // namespace pelimo
