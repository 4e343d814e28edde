#pragma once

#include "history/LatestRead.h"

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QTableView;

namespace pelimo {

class ArchiveModel;
struct ArchiveRow;
class HistoryReads;
class HistoryStore;

// The pane of ended listings ("終了した出品"): the archive as a sortable table, a filter over
// the titles that narrows as the user types, and below it the count, median, lowest and
// highest final price of the rows shown. A double-click or the menu opens a row's chart; the
// menu also saves the rows shown, in their order, as CSV.
class ArchivePane final : public QWidget {
    Q_OBJECT
public:
    using StatusSink = std::function<void(const std::string& sjis)>;

    ArchivePane(StatusSink showStatus, QWidget* parent);
    ~ArchivePane() override;
    ArchivePane(const ArchivePane&) = delete;
    ArchivePane& operator=(const ArchivePane&) = delete;

    // The store the pane reads; none shows an empty archive. With reads, the archive is read
    // on their worker and shown when it arrives; without, in place. Both outlive the pane.
    void setHistory(const HistoryStore* store, HistoryReads* reads = nullptr);
    // Reads the archive again; the filter and the sort stay. A read still under way is
    // dropped when it arrives.
    void reload();
    // Whether a read of the archive is under way.
    bool reading() const { return archiveRead.underWay(); }
    // Opens the chart of a shown row.
    void showChart(int shownRow);
    // "CSVで保存...": the rows shown, in their order, to a file the user chooses.
    void askAndSaveCsv();

    ArchiveModel* model() const { return rows; }
    QTableView* table() const { return view; }
    QLabel* summary() const { return totals; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void read(LatestRead::Ticket ticket);
    void showRows(std::vector<ArchiveRow> archive);
    void updateSummary();
    void showContextMenu(const QPoint& pos);

    StatusSink showStatus;
    const HistoryStore* history = nullptr;
    HistoryReads* reads = nullptr;
    LatestRead archiveRead;
    ArchiveModel* rows;
    QLineEdit* filter;
    QTableView* view;
    QLabel* totals;
};

} // namespace pelimo
