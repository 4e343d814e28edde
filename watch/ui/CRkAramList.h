#pragma once

#include "watch/WatchList.h"

#include <QTimer>
#include <QTreeWidget>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace pelimo {
namespace pictures {
class ListPictures;
class PictureStore;
} // namespace pictures

class HistoryReads;
class HistoryStore;

// Control id of the watch list in the form view, and the id its watch timer is known by.
inline constexpr int kAramListId = 9000;
inline constexpr int kWatchTimerId = 1124;
// The context menu's commands.
inline constexpr int kCommandRemoveEntry = 135;
inline constexpr int kCommandSetCeiling = 137;
inline constexpr int kCommandEditNote = 138;
inline constexpr int kCommandPriceChart = 139;
inline constexpr int kCommandSaveCsv = 140;

// The alert list: one row per watched listing, sortable by column, coloured while in
// alarm. The rows are a view of the WatchList it owns; rows and entries are tied by the
// item number in the first column, so sorting the rows never reorders the entries.
class CRkAramList final : public QTreeWidget, private WatchListView {
    Q_OBJECT

public:
    CRkAramList(QWidget* parent, const EnvSettings& settings, const Endpoints& endpoints, WatchListHost& host,
                AlarmNotifier& notifier, std::string directory = {});
    ~CRkAramList() override;
    CRkAramList(const CRkAramList&) = delete;
    CRkAramList& operator=(const CRkAramList&) = delete;

    // Loads the watch list file into rows and starts the watch timer. Called once by the
    // form view after it created the control.
    void createAramList();

    void addEntry(const ItemInfo& item) { watch.addEntry(item); }
    int32_t findEntry(std::string_view itemNo) const { return watch.findEntry(itemNo); }
    int32_t isWatched(std::string_view itemNo) const { return watch.isWatched(itemNo); }
    const std::vector<AramEntry>& entries() const { return watch.entries(); }
    WatchList& watchList() { return watch; }
    // The price history the passes record to, the "推移" column and the chart show and the
    // notes are kept in; none leaves those columns empty and notes cannot be edited. The store
    // outlives the list. With reads, the series are read on their worker and drawn when they
    // arrive; they outlive the list too.
    void setHistory(HistoryStore* store, HistoryReads* reads = nullptr);
    // The price series the row's "推移" cell draws, or none.
    const Sparkline* rowTrend(int row) const;

    // Removes the selected rows, their entries, and the watched marks of their numbers;
    // nothing without a selected row. The status line tells how many, and undoRemoval brings
    // them back until the next update cycle.
    void removeSelectedEntry();
    // Watches again, with their ceilings, the listings of the last removal not yet undone;
    // false when there is none.
    bool undoRemoval();
    // Shows the listing of the selection mark; refused while an update runs.
    void openSelectedItem();
    // The first click on a column sorts it descending, the next ascending, and so on.
    void sortByColumn(int column);
    // Sorts by the column in that direction, as the clicks that lead there would.
    void sortBy(int column, bool descending);
    // The column the rows are sorted by and whether descending; none before the first sort.
    std::optional<std::pair<int, bool>> sortState() const;
    // Asks for the price ceiling of the selected row's listing and sets or clears it; nothing
    // without a selected row or when the dialog is cancelled.
    void editSelectedCeiling();
    // Shows the listings' pictures from the store, which outlives the list: a thumbnail column
    // while the setting is on, the larger picture in a row's tooltip.
    void setPictures(pictures::PictureStore& store);
    const pictures::ListPictures* pictures() const { return listPictures; }
    // Asks for the note of the selected row's listing and keeps it; nothing without a
    // selected row, without a store or when the dialog is cancelled.
    void editSelectedNote();
    // Keeps the note (Shift-JIS; empty removes it) and shows it in the listing's row; false
    // when the store could not keep it, and then the row keeps the note it had.
    bool setNote(const std::string& itemNo, const std::string& text);
    // The note shown for the listing (Shift-JIS).
    std::string noteOf(const std::string& itemNo) const;

    // Opens the chart window of the selected row's listing; nothing without a selected row or
    // a history.
    void showSelectedChart();
    // The rows as the list shows them, in their order, with the notes, as CSV.
    std::string rowsCsv() const;
    // Restarts the watch timer with the interval the settings give now, and takes the faster
    // polling's settings: its timer runs while that is on and keeps its phase when they did
    // not change.
    void restartTimer();
    int timerIntervalMs() const { return watchTimer.interval(); }
    bool timerActive() const { return watchTimer.isActive(); }

    // The text and background colours of a row in alarm, or nothing for system colours.
    std::optional<std::pair<QColor, QColor>> rowAlarmColours(int row) const;
    // The item number shown in a row.
    std::string rowItemNo(int row) const;

    // Compares two rows by the current sort column, ascending.
    bool compareRows(const QTreeWidgetItem& a, const QTreeWidgetItem& b) const;

Q_SIGNALS:
    // A pass over the list (a cycle or a fast tick) has ended and its rows show its results.
    void passEnded();

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void entryAppended(const AramEntry& entry) override;
    void refreshRows(const std::vector<const AramEntry*>& entries) override;
    void repaintRows() override;
    void fillRow(QTreeWidgetItem& row, const ItemInfo& info);
    QTreeWidgetItem* selectedRow() const;
    void updateRowTip(QTreeWidgetItem& row);
    // Reads the series of the listings from the history, and the rows' tips with them.
    void refreshTrends(const std::vector<std::string>& itemNos);
    void showTrends(const std::vector<std::string>& itemNos, std::vector<Sparkline> lines);
    void onTimer();
    void forgetRemovals() { removals.clear(); }
    void applyNearEndSettings();
    void showContextMenu(const QPoint& pos);

    const EnvSettings& settings;
    const Endpoints& endpoints;
    WatchList watch;
    HistoryStore* history = nullptr;
    HistoryReads* historyReads = nullptr;
    std::unordered_map<std::string, Sparkline> trends; // by item number
    QTimer watchTimer;
    // Fast ticks between the regular cycles while the faster polling near the end is on; a
    // child known by its name, "nearEndTimer".
    QTimer* nearEndTimer;
    // Set by the exit request: no timer starts a pass any more.
    bool closing = false;
    pictures::ListPictures* listPictures = nullptr;
    std::unordered_map<std::string, std::string> notes; // by item number, Shift-JIS
    int sortColumn = -1;
    int sortDescending[8] = {};

    // A listing taken off the list, kept so the removal can be undone.
    struct Removed {
        ItemInfo info;
        std::optional<int32_t> ceiling;
    };
    // The removals since the last update cycle began, the latest last.
    std::vector<std::vector<Removed>> removals;
};

} // namespace pelimo
