#include "search/PagingSession.h"

#include <algorithm>
#include <utility>

namespace pelimo {

PagingSession::PagingSession(PageSource& source, PagingView& view) : source(source), view(view) {}

PagingSession::~PagingSession()
{
    life.reset();
    // A request still out ends at once; its answer finds the session gone.
    if (awaitingAnswer)
        source.abort();
}

void PagingSession::setState(ListState state)
{
    progressState.state = state;
    view.progressChanged();
}

void PagingSession::setRunState(ListState state)
{
    runState = state;
    setState(state);
}

void PagingSession::startPaging(const SearchRequest& request)
{
    if (closing || runActive)
        return;
    searchRequest = request;
    exclude = ExcludeWords(request.excludeWords);
    progressState.excluded = 0;
    runPage();
}

void PagingSession::pauseLoading()
{
    if (static_cast<int32_t>(progressState.state) <= static_cast<int32_t>(ListState::PageDone)) {
        pauseRequested = 1;
        setState(ListState::Paused);
        // Nothing is out while the service makes us wait: the run ends now, and the resume
        // asks for its page again.
        if (dropServiceWait())
            endRun();
    }
}

void PagingSession::loadNextPage()
{
    const ListState state = progressState.state;
    if (state == ListState::Failed && !closing && !runActive) {
        // Asked for again after a failure: the run goes on at the page that failed.
        searchRequest.page = runRequest.page;
        progressState.failure = PageFailure::none;
        setState(ListState::Loading);
        runPage();
        return;
    }
    if (closing || (state != ListState::PageDone && state != ListState::Paused))
        return;
    if (runActive) {
        // Paused while its run is still in progress: one source never carries two requests,
        // so the resume lets the run go on with its page instead.
        pauseRequested = 0;
        setState(runState);
        return;
    }
    searchRequest.page = progressState.currentPage + 1;
    pauseRequested = 0;
    progressState.currentPage = searchRequest.page;
    setState(ListState::Loading);
    runPage();
}

bool PagingSession::takeTurn()
{
    turnOnItsWay = false;
    if (!waitsForTurn())
        return false;
    loadNextPage();
    return true;
}

void PagingSession::stopList()
{
    closing = true;
    if (runActive) {
        // Also when the run was paused: the list may only go once the run has ended.
        if (progressState.state != ListState::Stopping) {
            stopRequested = 1;
            setState(ListState::Stopping);
            if (awaitingAnswer)
                source.abort();
            else if (dropServiceWait())
                endRun();
        }
        return;
    }
    if (progressState.state == ListState::Idle) {
        stopRequested = 1;
        setState(ListState::Stopped);
    }
    view.report(PagingReport::listStopped);
}

void PagingSession::runPage()
{
    if (closing || runActive)
        return;
    runActive = true;
    pageFilled = false;
    runRequest = searchRequest;
    setRunState(ListState::Loading);
    if (flagged())
        return endRun();
    requestPage();
}

void PagingSession::requestPage()
{
    const std::weak_ptr<int> alive = life;
    awaitingAnswer = true;
    source.start(runRequest, [alive, this](PageResult result) {
        if (!alive.expired())
            onAnswer(std::move(result));
    });
}

void PagingSession::onAnswer(PageResult result)
{
    if (!awaitingAnswer)
        return;
    awaitingAnswer = false;
    if (result.serviceWait)
        return waitForService(*result.serviceWait);
    if (!result.ok) {
        progressState.failure = result.failure;
        setState(ListState::Failed);
        return endRun();
    }
    progressState.totalPages = result.totalPages;
    progressState.currentPage = result.currentPage;
    setRunState(ListState::Filling);
    if (flagged())
        return endRun();
    pageRows = std::move(result.items);
    answeredRows = static_cast<int32_t>(pageRows.size());
    if (!exclude.empty()) {
        const auto left = std::remove_if(pageRows.begin(), pageRows.end(), [this](const ItemInfo& row) {
            return exclude.excludes(row.ItemName);
        });
        progressState.excluded += static_cast<int32_t>(pageRows.end() - left);
        pageRows.erase(left, pageRows.end());
    }
    fillRows();
}

void PagingSession::waitForService(const ServiceWait& wait)
{
    if (flagged())
        return endRun();
    // The run keeps its page and stays in Loading; the timer asks for the page again.
    if (!serviceWaitTimer)
        serviceWaitTimer = platform::eventLoop().createTimer([this] { serviceWaitOver(); });
    waitingForService = true;
    progressState.serviceResumesAt = wait.resumesAt;
    serviceWaitTimer->start(wait.left);
    view.serviceWaiting();
}

void PagingSession::serviceWaitOver()
{
    if (!dropServiceWait())
        return;
    if (flagged())
        return endRun();
    requestPage();
}

bool PagingSession::dropServiceWait()
{
    if (!waitingForService)
        return false;
    waitingForService = false;
    progressState.serviceResumesAt.reset();
    serviceWaitTimer->stop();
    return true;
}

void PagingSession::fillRows()
{
    // The page goes in whole: a pause or a stop is honoured before its rows or after all of
    // them, never halfway, so no listing of the service's answer goes missing.
    const std::weak_ptr<int> alive = life;
    view.addPage(pageRows);
    if (alive.expired())
        return;
    pageFilled = true;
    if (stopRequested == 1)
        return endRun();
    finishPage();
}

void PagingSession::finishPage()
{
    const int32_t rows = answeredRows;
    const int32_t total = progressState.totalPages;
    const int32_t current = progressState.currentPage;
    // The service does not move on (no rows, a page behind the one asked for, a lot number
    // that has one answer only), reports the last page or one past it, or never ends: the
    // search ends here with what it has.
    const bool last = current >= total || rows <= 0 || current < runRequest.page ||
                      runRequest.lotNumberMode == 1 || runRequest.page >= pageLimit;
    if (!last) {
        setState(ListState::PageDone);
        return endRun();
    }
    if (total == current && rows <= 0 && runRequest.page == 1) {
        // No hits.
        progressState.totalPages = 0;
        progressState.currentPage = 0;
    } else if (total < current) {
        // Counted as the last page.
        progressState.totalPages = current;
    }
    setState(ListState::Complete);
    endRun();
}

void PagingSession::endRun()
{
    dropServiceWait();
    if (stopRequested == 1) {
        progressState.state = ListState::Stopped;
    } else if (pauseRequested == 1 && progressState.state != ListState::Complete) {
        progressState.state = ListState::Paused;
        // A page paused before its rows went in counts as not loaded: the resume asks for
        // it again.
        if (!pageFilled)
            progressState.currentPage = runRequest.page - 1;
    }
    runActive = false;
    awaitingAnswer = false;
    runState = ListState::Idle;
    pageRows.clear();
    view.progressChanged();
    if (progressState.state == ListState::Stopped) {
        view.report(PagingReport::listStopped);
        return;
    }
    pageEventOnItsWay = true;
    view.report(PagingReport::pageEvent);
}

} // namespace pelimo
