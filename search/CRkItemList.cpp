#include "search/CRkItemList.h"

#include "SearchTexts.h"
#include "platform/EventPump.h"
#include "platform/qt/PrivateMessage.h"
#include "platform/qt/QtText.h"
#include "search/ResultImages.h"
#include "search/ResultListModel.h"
#include "search/SearchListHost.h"
#include "xmlclient/AuctionType.h"
#include "xmlclient/ListingQueries.h"
#include "xmlclient/XmlDocumentClient.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QTimer>

namespace pelimo {

using platform::PrivateMessage;
using platform::PrivateMessageEvent;

namespace {

bool hasNoAuctionEnd(const std::string& code)
{
    return code == searchtext::kFixedPriceCode || code == searchtext::kGroupPurchaseCode;
}

} // namespace

CRkItemList::CRkItemList(QWidget* tabControlWidget, int controlId, const EnvSettings& settings,
                         const Endpoints& endpoints, SearchListHost& host)
    : QTableView(tabControlWidget), id(controlId), settings(settings), endpoints(endpoints), host(host),
      tabControl(tabControlWidget), model(new ResultListModel(settings, this)), popup(new QMenu(this)),
      repaintTimer(new QTimer(this)), client(std::make_shared<XmlDocumentClient>())
{
    setObjectName(QStringLiteral("resultList%1").arg(controlId));
    setModel(model);
    setFrameShape(QFrame::StyledPanel);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setSortingEnabled(false);
    setIconSize(QSize(16, 16));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    for (int c = 0; c < kResultColumnCount; ++c)
        setColumnWidth(c, kListingColumns[static_cast<size_t>(c)].width);

    repaintTimer->setInterval(kRepaintIntervalMs);
    connect(repaintTimer, &QTimer::timeout, this, [this] {
        setUpdatesEnabled(true);
        if (!runActive)
            repaintTimer->stop();
    });

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CRkItemList::sortByColumn);
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { showMarkedItem(); });
    QAction* add = popup->addAction(platform::toQString(searchtext::kAddToWatchList));
    add->setData(kCommandAddToWatchList);
    connect(add, &QAction::triggered, this, [this] { addMarkedToWatchList(); });
}

CRkItemList::~CRkItemList()
{
    // A wait still in progress ends at once; the run holds its own reference to the client.
    client->abortLoad();
}

void CRkItemList::addPageRow(const ItemInfo& record, int rowIndex)
{
    ResultListModel::Cells cells = {
        record.ItemNo,
        record.ItemName,
        record.CurrentPrice,
        std::string(shortTypeLabel(record.AuctionType)),
        record.ItemNum,
        record.BidNum,
        hasNoAuctionEnd(record.AuctionType) ? std::string(searchtext::kNoRemainTime) : record.RemainTime,
    };
    const int image = host.isWatched(record.ItemNo) ? kImageBell : kImageNone;
    model->insertRow(rowIndex, std::move(cells), image);
    recordList.push_back(record);
}

void CRkItemList::clearWatchedMark(const std::string& itemNo)
{
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->cell(row, kColumnItemNo) == itemNo) {
            model->setRowImage(row, kImageNone);
            return;
        }
    }
}

void CRkItemList::sortByColumn(int column)
{
    if (column < 0 || column >= kResultColumnCount)
        return;
    if (sortedColumn >= 0)
        model->setHeaderImage(sortedColumn, kImageHeaderNone);
    sortedColumn = column;
    int& direction = directions[static_cast<size_t>(column)];
    if (direction != 0) {
        direction = 0;
        model->setHeaderImage(column, kImageSortUp);
    } else {
        direction = 1;
        model->setHeaderImage(column, kImageSortDown);
    }
    model->sortRows(column, direction == 0);
}

const ItemInfo* CRkItemList::findRecord(const std::string& itemNo) const
{
    for (const ItemInfo& record : recordList) {
        if (record.ItemNo == itemNo)
            return &record;
    }
    return nullptr;
}

void CRkItemList::addMarkedToWatchList()
{
    const int row = currentIndex().row();
    if (row < 0 || row >= model->rowCount())
        return;
    const ItemInfo* record = findRecord(model->cell(row, kColumnItemNo));
    if (!record)
        return;
    model->setRowImage(row, kImageBell);
    // A copy: the watch list may call back into the panes, which may add rows here.
    const ItemInfo copy = *record;
    host.addToWatchList(copy);
}

void CRkItemList::showMarkedItem()
{
    const int row = currentIndex().row();
    if (row < 0 || row >= model->rowCount())
        return;
    if (const ItemInfo* record = findRecord(model->cell(row, kColumnItemNo))) {
        const ItemInfo copy = *record;
        host.showItem(kOriginSearchList, copy);
    }
}

void CRkItemList::contextMenuEvent(QContextMenuEvent* e)
{
    popup->popup(e->globalPos());
    e->accept();
}

bool CRkItemList::event(QEvent* e)
{
    if (e->type() <= QEvent::User || e->type() >= QEvent::MaxUser)
        return QTableView::event(e);
    auto* message = dynamic_cast<PrivateMessageEvent*>(e);
    if (!message)
        return QTableView::event(e);
    switch (message->message) {
    case PrivateMessage::startPaging:
        if (const auto* request = std::any_cast<SearchRequest>(&message->arg))
            startPaging(*request);
        return true;
    case PrivateMessage::pauseLoading:
        pauseLoading();
        return true;
    case PrivateMessage::loadNextPage:
        loadNextPage();
        return true;
    case PrivateMessage::stopList:
        stopList();
        return true;
    default:
        return QTableView::event(e);
    }
}

void CRkItemList::startPaging(const SearchRequest& request)
{
    if (closing || runActive)
        return;
    searchRequest = request;
    runPage();
}

void CRkItemList::pauseLoading()
{
    if (static_cast<int32_t>(progressState.state) <= static_cast<int32_t>(ListState::PageDone)) {
        progressState.state = ListState::Paused;
        pauseRequested = 1;
    }
}

void CRkItemList::loadNextPage()
{
    const ListState state = progressState.state;
    if (closing || (state != ListState::PageDone && state != ListState::Paused))
        return;
    if (runActive) {
        // Paused while its run still waits for the service: one client never carries two
        // loads, so the resume lets the run in progress go on with its page instead.
        pauseRequested = 0;
        progressState.state = runState;
        return;
    }
    searchRequest.page = progressState.currentPage + 1;
    pauseRequested = 0;
    progressState.state = ListState::Loading;
    progressState.currentPage = searchRequest.page;
    runPage();
}

void CRkItemList::stopList()
{
    closing = true;
    if (runActive) {
        // Also when the run was paused: the list may only go once the run has returned.
        if (progressState.state != ListState::Stopping) {
            stopRequested = 1;
            progressState.state = ListState::Stopping;
            client->abortLoad();
        }
        return;
    }
    if (progressState.state == ListState::Idle) {
        stopRequested = 1;
        progressState.state = ListState::Stopped;
    }
    if (tabControl)
        platform::postMessage(tabControl, PrivateMessage::listStopped, QPointer<CRkItemList>(this));
}

void CRkItemList::throttleRepaint()
{
    // Drawing the rows costs far more than adding them: while pages stream in, the list is
    // redrawn by the repaint timer a few dozen times a second rather than after every row.
    if (updatesEnabled())
        setUpdatesEnabled(false);
    if (!repaintTimer->isActive())
        repaintTimer->start();
}

void CRkItemList::finishRepaints()
{
    repaintTimer->stop();
    if (!updatesEnabled())
        setUpdatesEnabled(true);
}

void CRkItemList::setRunState(ListState state)
{
    runState = state;
    progressState.state = state;
}

void CRkItemList::runPage()
{
    if (closing || runActive)
        return;
    runActive = true;
    const QPointer<CRkItemList> self(this);
    const std::shared_ptr<XmlDocumentClient> keep = client;
    const SearchRequest copy = searchRequest;

    // Each step that pumps may run any handler, this list's own included, or destroy the
    // list; after every pump the run first makes sure the list is still there. A pause is
    // honoured before the page's rows go in or after all of them are in, never halfway, so
    // no listing of the service's answer goes missing.
    bool pageFilled = false;
    setRunState(ListState::Loading);
    [&] {
        if (flagged())
            return;
        // The run handles pending events at each of its steps but leaves out the pump's 1 ms
        // rest: no step waits in a loop (the load waits on its socket), and two rests per
        // page would double the time of a long search.
        platform::dispatchPendingEvents();
        if (!self || flagged())
            return;

        int32_t totalPages = 0;
        int32_t currentPage = 0;
        const int32_t result = searchListing(*keep, endpoints, copy, totalPages, currentPage);
        if (!self)
            return;
        if (result != 0) {
            progressState.state = ListState::Failed;
            return;
        }
        progressState.totalPages = totalPages;
        progressState.currentPage = currentPage;
        setRunState(ListState::Filling);
        if (flagged())
            return;

        std::vector<ItemInfo> page;
        const int32_t count = parseListingItems(*keep, page);
        for (int32_t i = 0; i < count; ++i) {
            // A row costs microseconds; the 1 ms rest of the pump would make a long
            // search seconds slower, so the rows only handle what is pending.
            platform::dispatchPendingEvents();
            if (!self)
                return;
            addPageRow(page[static_cast<size_t>(i)], static_cast<int>(i));
            throttleRepaint();
            if (stopRequested == 1)
                return;
        }
        platform::dispatchPendingEvents();
        if (!self)
            return;
        pageFilled = true;
        if (stopRequested == 1)
            return;

        if (totalPages == currentPage) {
            progressState.state = ListState::Complete;
            if (count <= 0 && copy.page == 1) {
                progressState.totalPages = 0;
                progressState.currentPage = 0;
            }
        } else if (count <= 0 || currentPage < copy.page || copy.lotNumberMode == 1 ||
                   copy.page >= kMaxPages) {
            // The service does not move on (no rows, a page behind the one asked for, a lot
            // number that has one answer only) or never ends: asking again would page for
            // ever, so the search ends here with what it has, counted as its last page.
            progressState.state = ListState::Complete;
            if (progressState.totalPages < progressState.currentPage)
                progressState.totalPages = progressState.currentPage;
        } else {
            progressState.state = ListState::PageDone;
        }
    }();
    keep->release();
    if (!self)
        return;

    if (stopRequested == 1) {
        progressState.state = ListState::Stopped;
    } else if (pauseRequested == 1 && progressState.state != ListState::Complete) {
        progressState.state = ListState::Paused;
        // A page paused before its rows went in counts as not loaded: the resume asks for
        // it again.
        if (!pageFilled)
            progressState.currentPage = copy.page - 1;
    }
    runActive = false;
    runState = ListState::Idle;
    // A list waiting for its turn keeps the timer's pace; any other end shows its rows now.
    if (progressState.state != ListState::PageDone)
        finishRepaints();
    if (!tabControl)
        return;
    const PrivateMessage report =
        progressState.state == ListState::Stopped ? PrivateMessage::listStopped : PrivateMessage::pageEvent;
    platform::postMessage(tabControl, report, QPointer<CRkItemList>(this));
}

} // namespace pelimo
