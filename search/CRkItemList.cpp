#include "search/CRkItemList.h"

#include "HistoryUiTexts.h"
#include "SearchTexts.h"
#include "history/HistoryCsv.h"
#include "history/ui/CsvSaveDialog.h"
#include "listing/ListingCells.h"
#include "listing/QtItemNoWidth.h"
#include "listing/ResultImages.h"
#include "pictures/qt/ListPictures.h"
#include "platform/qt/QtText.h"
#include "search/ResultListModel.h"
#include "search/RunCollector.h"
#include "search/SearchListHost.h"
#include "search/SearchMessages.h"
#include "search/TurnRotation.h"
#include "settings/EnvSettings.h"
#include "xmlclient/AuctionType.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <algorithm>

namespace pelimo {

using platform::messageOf;

namespace {

bool hasNoAuctionEnd(const std::string& code)
{
    return code == searchtext::kFixedPriceCode || code == searchtext::kGroupPurchaseCode;
}

} // namespace

// The list as its paging session sees it: a page's rows go into the model at once, and the
// run's end goes to the tab control as a posted message.
class CRkItemList::SessionView final : public PagingView {
public:
    explicit SessionView(CRkItemList& list) : list(list) {}

    void addPage(const std::vector<ItemInfo>& rows) override
    {
        if (list.collector)
            list.collectedPage.insert(list.collectedPage.end(), rows.begin(), rows.end());
        if (list.collectedShown)
            list.addPage(rows);
    }
    void progressChanged() override
    {
        // Paused between two pages, no run ends to report it: the collector hears it now.
        if (list.collector && !list.session.isRunning() && list.session.progress().state == ListState::Paused)
            list.collectorReport(false);
    }
    void serviceWaiting() override
    {
        // The tab control's status line says when the page is asked for again.
        if (list.tabControl)
            platform::postMessage(list.tabControl, ListWaiting{QPointer<CRkItemList>(&list)});
    }
    void report(PagingReport report) override
    {
        if (list.collector)
            list.collectorReport(report == PagingReport::listStopped);
        if (!list.tabControl)
            return;
        const QPointer<CRkItemList> self(&list);
        if (report == PagingReport::listStopped)
            platform::postMessage(list.tabControl, ListStopped{self});
        else
            platform::postMessage(list.tabControl, PageEvent{self});
    }

private:
    CRkItemList& list;
};

CRkItemList::CRkItemList(QWidget* tabControlWidget, int controlId, const EnvSettings& settings,
                         const Endpoints& endpoints, SearchListHost& host)
    : QTableView(tabControlWidget), id(controlId), settings(settings), host(host),
      tabControl(tabControlWidget), model(new ResultListModel(settings, this)), popup(new QMenu(this)),
      sessionView(std::make_unique<SessionView>(*this)), source(endpoints), session(source, *sessionView)
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
    setColumnWidth(kColumnItemNo, itemNoColumnWidth(fontMetrics(), iconSize().width()));
    setColumnWidth(kColumnPicture, kPictureColumn.width);
    // Without a store of pictures there is nothing to show in it.
    setColumnHidden(kColumnPicture, true);

    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CRkItemList::sortByColumn);
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { showMarkedItem(); });
    QAction* add = popup->addAction(platform::toQString(searchtext::kAddToWatchList));
    add->setData(kCommandAddToWatchList);
    connect(add, &QAction::triggered, this, [this] { addMarkedToWatchList(); });
    QAction* chart = popup->addAction(platform::toQString(history_ui_text::kMenuPriceChart));
    chart->setData(kCommandPriceChart);
    connect(chart, &QAction::triggered, this, [this] { showMarkedChart(); });
    QAction* csv = popup->addAction(platform::toQString(history_ui_text::kMenuSaveCsv));
    csv->setData(kCommandSaveCsv);
    connect(csv, &QAction::triggered, this,
            [this] { saveCsvWithDialog(this, [this] { return rowsCsv(); }); });
}

CRkItemList::~CRkItemList()
{
    // The pictures' watcher filters the list's events: it goes before the widget it watches is
    // torn down, which still sends events on the way.
    delete listPictures;
}

void CRkItemList::setPictures(pictures::PictureStore& store)
{
    if (listPictures)
        return;
    listPictures = new pictures::ListPictures(
        *this, kColumnPicture, store, settings.ext.showPictures,
        [this](int row) { return model->pictureAddress(row); },
        [this](int row) { return platform::toQString(model->cell(row, kColumnItemName)); });
}

void CRkItemList::addPage(const std::vector<ItemInfo>& records)
{
    std::vector<ResultListModel::NewRow> rows;
    rows.reserve(records.size());
    for (const ItemInfo& record : records) {
        ResultListModel::Cells cells = listingCells(record);
        // The result lists show no remaining time for a listing without an auction end.
        if (hasNoAuctionEnd(record.AuctionType))
            cells[kColumnRemainTime] = std::string(searchtext::kNoRemainTime);
        rows.push_back(
            {std::move(cells), host.isWatched(record.ItemNo) ? kImageBell : kImageNone, record.ImageUrl});
    }
    model->insertRows(0, std::move(rows));
    recordList.insert(recordList.end(), records.begin(), records.end());
    // While pages stream in, the rows are drawn once a frame rather than once a page.
    pacer->changed(this);
}

void CRkItemList::setSearch(const SearchRequest& request)
{
    searchCopy = request;
    searchCopy.page = 1;
}

void CRkItemList::collectRun(RunCollector& c)
{
    collector = &c;
    collectedShown = true;
    collectedPage.clear();
}

bool CRkItemList::canRerun() const
{
    const ListState state = session.progress().state;
    return !session.isRunning() && !session.isClosing() &&
           (state == ListState::Complete || state == ListState::Failed);
}

bool CRkItemList::rerun(RunCollector& c)
{
    if (!canRerun())
        return false;
    collector = &c;
    collectedShown = false;
    collectedPage.clear();
    session.startPaging(searchCopy);
    return true;
}

void CRkItemList::stopCollecting()
{
    // The rest of a re-run the user resumes stays out of sight, as the run was: the tab's rows
    // hold those listings already, and showing its pages would list them twice.
    collector = nullptr;
    collectedPage.clear();
}

void CRkItemList::collectorReport(bool stopped)
{
    // The run's pageEvent: a page is in whole (a pause or a stop is honoured between pages
    // only), or the run ended without it.
    RunCollector* c = collector;
    std::vector<ItemInfo> page = std::move(collectedPage);
    collectedPage.clear();
    const ProgressSnapshot& p = session.progress();
    switch (stopped ? ListState::Stopped : p.state) {
    case ListState::PageDone:
        c->pageCollected(*this, std::move(page), true);
        return;
    case ListState::Complete:
        stopCollecting();
        c->pageCollected(*this, std::move(page), p.currentPage < p.totalPages);
        return;
    default:
        stopCollecting();
        c->runBroken(*this);
        return;
    }
}

void CRkItemList::addNewListings(const std::vector<ItemInfo>& listings)
{
    addPage(listings);
    markNew(listings);
}

void CRkItemList::markNew(const std::vector<ItemInfo>& listings)
{
    std::vector<std::string> numbers;
    numbers.reserve(listings.size());
    for (const ItemInfo& record : listings)
        numbers.push_back(record.ItemNo);
    model->markFresh(numbers);
}

void CRkItemList::clearNewMarks()
{
    model->clearFresh();
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

void CRkItemList::showMarkedChart()
{
    const int row = currentIndex().row();
    if (row < 0 || row >= model->rowCount())
        return;
    if (const ItemInfo* record = findRecord(model->cell(row, kColumnItemNo))) {
        const ItemInfo copy = *record;
        host.showPriceChart(copy);
    }
}

std::string CRkItemList::rowsCsv() const
{
    std::vector<ListingCsvRow> rows;
    rows.reserve(static_cast<size_t>(model->rowCount()));
    for (int r = 0; r < model->rowCount(); ++r) {
        ListingCsvRow row;
        for (int c = 0; c < kListingColumnCount; ++c)
            row.cells[static_cast<size_t>(c)] = model->cell(r, c);
        rows.push_back(std::move(row));
    }
    return listingCsv(ListingCsvKind::resultList, rows);
}

void CRkItemList::addMarkedToWatchList()
{
    // Every selected row, top to bottom; the current row when nothing is selected.
    QModelIndexList marked = selectionModel()->selectedRows();
    if (marked.isEmpty() && currentIndex().isValid())
        marked.push_back(currentIndex());
    std::sort(marked.begin(), marked.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    // Copies: the watch list may call back into the panes, which may add rows here.
    std::vector<ItemInfo> copies;
    for (const QModelIndex& index : marked) {
        const int row = index.row();
        if (row < 0 || row >= model->rowCount())
            continue;
        if (const ItemInfo* record = findRecord(model->cell(row, kColumnItemNo))) {
            model->setRowImage(row, kImageBell);
            copies.push_back(*record);
        }
    }
    if (!copies.empty())
        host.addAllToWatchList(copies);
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

void CRkItemList::keyPressEvent(QKeyEvent* e)
{
    // Enter on a row does what a double-click does.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && e->modifiers() == Qt::NoModifier) {
        showMarkedItem();
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

bool CRkItemList::event(QEvent* e)
{
    if (e->type() <= QEvent::User || e->type() >= QEvent::MaxUser)
        return QTableView::event(e);
    if (const auto* m = messageOf<StartPaging>(e)) {
        session.startPaging(m->request);
        return true;
    }
    if (messageOf<PauseLoading>(e)) {
        session.pauseLoading();
        return true;
    }
    if (const auto* m = messageOf<LoadNextPage>(e)) {
        if (m->rotation != nullptr)
            m->rotation->deliverTurn(session);
        else
            session.loadNextPage();
        return true;
    }
    if (messageOf<StopList>(e)) {
        session.stopList();
        return true;
    }
    return QTableView::event(e);
}

} // namespace pelimo
