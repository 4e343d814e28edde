#pragma once

#include "search/ProgressSnapshot.h"
#include "search/ResultOrder.h"
#include "xmlclient/Endpoints.h"
#include "xmlclient/ItemInfo.h"
#include "xmlclient/SearchRequest.h"

#include <QPointer>
#include <QTableView>
#include <array>
#include <memory>
#include <string>
#include <vector>

class QMenu;
class QTimer;

namespace pelimo {

struct EnvSettings;
class ResultListModel;
class SearchListHost;
class XmlDocumentClient;

// The result list of one search tab: the rows of every page loaded so far, coloured by
// auction type, sortable by any column, and the paging session that fetches the pages one
// run at a time, driven by the tab control's private messages.
class CRkItemList final : public QTableView {
public:
    static constexpr int kFirstControlId = 10000;
    static constexpr int kCommandAddToWatchList = 132;
    // A guard against a service whose CurrentPage never reaches TotalPage.
    static constexpr int32_t kMaxPages = 100000;
    static constexpr int kRepaintIntervalMs = 40;

    CRkItemList(QWidget* tabControl, int controlId, const EnvSettings& settings, const Endpoints& endpoints,
                SearchListHost& host);
    ~CRkItemList() override;
    CRkItemList(const CRkItemList&) = delete;
    CRkItemList& operator=(const CRkItemList&) = delete;

    int controlId() const { return id; }

    // Inserts the row of one record at a display position and keeps the record.
    void addPageRow(const ItemInfo& record, int rowIndex);
    // Takes the bell off the first row showing this exhibit number.
    void clearWatchedMark(const std::string& itemNo);
    // A click on a column header: ascending first, then alternating, per column.
    void sortByColumn(int column);
    // Command 132 and the double-click, on the row with the selection mark.
    void addMarkedToWatchList();
    void showMarkedItem();

    const ProgressSnapshot& progress() const { return progressState; }
    bool isRunning() const { return runActive; }
    bool isClosing() const { return closing; }
    const SearchRequest& request() const { return searchRequest; }
    const std::vector<ItemInfo>& records() const { return recordList; }
    const ResultListModel& rows() const { return *model; }
    int sortColumn() const { return sortedColumn; }
    int sortDirection(int column) const { return directions[static_cast<size_t>(column)]; }
    QMenu* selectPopup() const { return popup; }

protected:
    bool event(QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void startPaging(const SearchRequest& request);
    void pauseLoading();
    void loadNextPage();
    void stopList();
    void runPage();
    void setRunState(ListState state);
    void throttleRepaint();
    void finishRepaints();
    bool flagged() const { return stopRequested == 1 || pauseRequested == 1; }
    const ItemInfo* findRecord(const std::string& itemNo) const;

    int id;
    const EnvSettings& settings;
    const Endpoints& endpoints;
    SearchListHost& host;
    QPointer<QObject> tabControl;
    ResultListModel* model;
    QMenu* popup;
    QTimer* repaintTimer;

    SearchRequest searchRequest;
    ProgressSnapshot progressState;
    int32_t stopRequested = 0;
    int32_t pauseRequested = 0;
    // Shared with the run in progress, so a list destroyed during a wait leaves the waiting
    // client alive until the wait has returned.
    std::shared_ptr<XmlDocumentClient> client;
    std::vector<ItemInfo> recordList;

    bool runActive = false;
    ListState runState = ListState::Idle; // Loading or Filling while a run is on the stack
    bool closing = false;

    int sortedColumn = -1;
    std::array<int, kResultColumnCount> directions{1, 1, 1, 1, 1, 1, 1};
};

} // namespace pelimo
