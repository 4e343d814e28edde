#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QTableView;

namespace pelimo {

class ArchiveModel;
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

    // The store the pane reads; none shows an empty archive. The store outlives the pane.
    void setHistory(const HistoryStore* store);
    // Reads the archive again; the filter and the sort stay.
    void reload();
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
    void updateSummary();
    void showContextMenu(const QPoint& pos);

    StatusSink showStatus;
    const HistoryStore* history = nullptr;
    ArchiveModel* rows;
    QLineEdit* filter;
    QTableView* view;
    QLabel* totals;
};

} // namespace pelimo
