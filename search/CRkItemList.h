#pragma once

#include "platform/qt/FramePacer.h"
#include "search/ListingPageSource.h"
#include "search/PagingSession.h"
#include "search/ProgressSnapshot.h"
#include "search/ResultListModel.h"
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

namespace pelimo {
namespace pictures {
class ListPictures;
class PictureStore;
} // namespace pictures

struct EnvSettings;
class ResultListModel;
class RunCollector;
class SearchListHost;

// The result list of one search tab: the rows of every page loaded so far, coloured by
// auction type and sortable by any column. It shows its paging session's rows and hands it
// the tab control's private messages.
class CRkItemList final : public QTableView {
public:
    static constexpr int kFirstControlId = 10000;
    static constexpr int kCommandAddToWatchList = 132;
    static constexpr int kCommandPriceChart = 138;
    static constexpr int kCommandSaveCsv = 139;

    CRkItemList(QWidget* tabControl, int controlId, const EnvSettings& settings, const Endpoints& endpoints,
                SearchListHost& host);
    ~CRkItemList() override;
    CRkItemList(const CRkItemList&) = delete;
    CRkItemList& operator=(const CRkItemList&) = delete;

    int controlId() const { return id; }
    // Paces the drawing of new rows with the other widgets of its window; by default the list
    // paces itself.
    void setFramePacer(platform::FramePacer& shared) { pacer = &shared; }
    // Shows the listings' pictures from the store, which outlives the list: a thumbnail column
    // while the setting is on, the larger picture in a row's tooltip.
    void setPictures(pictures::PictureStore& store);
    const pictures::ListPictures* pictures() const { return listPictures; }

    // Inserts the rows of the records at the top in their order, in one insertion, and keeps
    // the records.
    void addPage(const std::vector<ItemInfo>& records);
    // Takes the bell off the first row showing this exhibit number.
    void clearWatchedMark(const std::string& itemNo);
    // A click on a column header: ascending first, then alternating, per column.
    void sortByColumn(int column);
    // Command 132 and the double-click, on the row with the selection mark.
    void addMarkedToWatchList();
    // The chart of the marked listing, through the host.
    void showMarkedChart();
    // The rows as the list shows them, in their order, as CSV.
    std::string rowsCsv() const;
    void showMarkedItem();

    // The search as its tab was opened for, from page 1, known before its first page is asked for.
    void setSearch(const SearchRequest& request);
    const SearchRequest& search() const { return searchCopy; }
    // The tab's caption before any mark the tab control adds.
    void setCaption(std::string text) { captionText = std::move(text); }
    const std::string& caption() const { return captionText; }

    // Hands the pages of the next run (the one posted already, or the first page to come) to
    // the collector as well as showing them.
    void collectRun(RunCollector& collector);
    // Runs the search again from page 1, handing its pages to the collector instead of
    // showing them; false while a run is going or the list closes.
    bool rerun(RunCollector& collector);
    // No further pages go to the collector.
    void stopCollecting();
    bool isCollecting() const { return collector != nullptr; }
    bool canRerun() const;
    // Adds listings at the top in page order, drawn in the alarm colours.
    void addNewListings(const std::vector<ItemInfo>& listings);
    // Draws the rows of these listings in the alarm colours, until clearNewMarks.
    void markNew(const std::vector<ItemInfo>& listings);
    void clearNewMarks();

    PagingSession& paging() { return session; }
    const ProgressSnapshot& progress() const { return session.progress(); }
    bool isRunning() const { return session.isRunning(); }
    bool isClosing() const { return session.isClosing(); }
    const SearchRequest& request() const { return session.request(); }
    const std::vector<ItemInfo>& records() const { return recordList; }
    const ResultListModel& rows() const { return *model; }
    int sortColumn() const { return sortedColumn; }
    int sortDirection(int column) const { return directions[static_cast<size_t>(column)]; }
    QMenu* selectPopup() const { return popup; }

protected:
    bool event(QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    class SessionView;

    void collectorReport(bool stopped);
    const ItemInfo* findRecord(const std::string& itemNo) const;

    int id;
    const EnvSettings& settings;
    SearchListHost& host;
    QPointer<QObject> tabControl;
    ResultListModel* model;
    QMenu* popup;
    pictures::ListPictures* listPictures = nullptr;
    platform::FramePacer ownPacer;
    platform::FramePacer* pacer = &ownPacer;

    std::vector<ItemInfo> recordList;
    std::unique_ptr<SessionView> sessionView;
    ListingPageSource source;
    PagingSession session;

    std::string captionText;
    SearchRequest searchCopy;
    RunCollector* collector = nullptr;
    bool collectedShown = true;
    std::vector<ItemInfo> collectedPage;

    int sortedColumn = -1;
    std::array<int, kResultColumnCount> directions{1, 1, 1, 1, 1, 1, 1};
};

} // namespace pelimo
