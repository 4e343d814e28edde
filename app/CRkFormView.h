#pragma once

#include "platform/qt/FramePacer.h"
#include "search/SearchListHost.h"
#include "settings/EnvSettings.h"
#include "watch/WatchList.h"
#include "xmlclient/Endpoints.h"
#include "xmlclient/SearchRequest.h"

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace pelimo {
namespace pictures {
class PictureStore;
}

class ArchivePane;
class HistoryStore;
class CRkAramList;
class CRkItemList;
class CRkHtmlForm;
class CRkTabCtrl;
class SavedTabsHost;

// The top pane: the search tabs in search mode; the watch list with its "update" button and
// status line in alert mode. It is also what the result lists call back into. The status line
// names every listing of a watch cycle as it is fetched; the screen shows it once a frame.
class CRkFormView final : public QWidget, public SearchListHost {
    Q_OBJECT
public:
    static constexpr int kTabCtrlId = 113;
    static constexpr int kWatchListId = 9000;
    static constexpr int kUpdateButtonId = 117;
    static constexpr int kStatusLineId = 123;

    // mainFrame receives the search tabs' closing message; itemPane shows item pages for the
    // result lists; watchHost and notifier go to the watch list.
    CRkFormView(const EnvSettings& settings, const Endpoints& endpoints, QObject* mainFrame,
                CRkHtmlForm* itemPane, WatchListHost& watchHost, AlarmNotifier& notifier, QWidget* parent);
    ~CRkFormView() override;
    CRkFormView(const CRkFormView&) = delete;
    CRkFormView& operator=(const CRkFormView&) = delete;

    // Creates the watch list side; runs once, later calls do nothing.
    void firstUpdate();

    // Opens a search in a new tab, creating the tab control at the first search, then hands
    // the keyboard focus back to the command bar. Returns the tab's list.
    CRkItemList* startSearch(SearchRequest request);
    // The command bar's search: to the open tab of the same search if there is one (a failed
    // one tries again), otherwise a new tab.
    CRkItemList* openSearch(SearchRequest request);
    void redrawLists();
    // The saved searches behind the search tabs' save item, now and for a tab control made later.
    void setSavedTabsHost(SavedTabsHost* host);
    void applyPaneMode(int32_t mode);
    void setStatusLine(const std::string& sjis);
    // Restarts the watch list's timer with the interval the settings give now.
    void restartWatchTimer();

    // SearchListHost
    bool isWatched(const std::string& itemNo) const override;
    void addToWatchList(const ItemInfo& item) override;
    // Adds them all and says in the status bar how many were new to the list.
    void addAllToWatchList(const std::vector<ItemInfo>& items) override;
    void showItem(int32_t origin, const ItemInfo& item) override;
    void showPriceChart(const ItemInfo& item) override;

    // The price history the charts of the result lists read; the store outlives the view.
    void setHistory(HistoryStore* store) { history = store; }

    // The column widths new result lists take, and those of the list shown now (or the
    // widths set, when no list is open).
    void setResultColumnWidths(std::vector<int> widths) { resultColumns = std::move(widths); }
    std::vector<int> resultColumnWidths() const;

    // The list the pane shows now: the current search tab's or the watch list; nullptr for none.
    QWidget* shownList() const;
    // F5: "更新" while the watch list shows.
    void updateIfAlertShown();

    CRkTabCtrl* tabCtrl() const { return searchTabs; }
    CRkAramList* watchList() const { return aramList; }
    pictures::PictureStore* pictures() const { return pictureStore; }
    // The ended listings, shown in pane mode 2.
    ArchivePane* archivePane() const { return archiveView; }
    QPushButton* updateButton() const { return updateCommand; }
    QLabel* statusLine() const { return statusLabel; }

    // Used by the main frame's orderly shutdown, the only place these two end.
    void destroyTabCtrl();
    void destroyWatchList();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutChildren();
    void requestWatchUpdate();
    // Whether a watched listing's alarm would show anywhere but in the title and the tray.
    bool anyAlarmActionOn() const;

    const EnvSettings& settings;
    const Endpoints& endpoints;
    QObject* mainFrame;
    CRkHtmlForm* itemPane;
    bool updated = false;
    // The way to the alarm settings has been shown this run.
    bool alarmHintShown = false;
    CRkTabCtrl* searchTabs = nullptr;
    SavedTabsHost* savedTabs = nullptr;
    WatchListHost& watchHost;
    AlarmNotifier& notifier;
    CRkAramList* aramList = nullptr;
    ArchivePane* archiveView = nullptr;
    HistoryStore* history = nullptr;
    QPushButton* updateCommand = nullptr;
    QLabel* statusLabel = nullptr;
    QLabel* lastUpdate = nullptr;
    std::vector<int> resultColumns;
    platform::FramePacer pacer;
    // The listings' pictures of every list; a child made before the lists.
    pictures::PictureStore* pictureStore = nullptr;
};

} // namespace pelimo
