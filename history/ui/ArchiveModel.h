#pragma once

#include "history/ArchiveFilter.h"
#include "history/HistoryRecords.h"

#include <QAbstractTableModel>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pelimo {

// The archive's rows as a table: filtered by title as the user types and sorted by any
// column. Both keep to one pass over the rows per key press: the rows are sorted once per
// column and order, and the filter only picks from that order.
class ArchiveModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { itemNo, title, finalPrice, bids, type, endedAt, origin, confirmed, columnTotal };

    explicit ArchiveModel(QObject* parent = nullptr);

    // Takes the rows (latest end first, as the store gives them); the filter and the sort stay.
    void setRows(std::vector<ArchiveRow> rows);
    // The same with the filter's index already built over those rows (on a worker: it is
    // the longest part of taking a hundred thousand rows).
    void setRows(std::vector<ArchiveRow> rows, ArchiveFilter index);
    // The filter text as typed (Shift-JIS); blank shows every row.
    void setFilter(const std::string& sjis);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    const std::vector<ArchiveRow>& rows() const { return all; }
    // The positions in rows() of the rows shown, in the order shown.
    const std::vector<uint32_t>& shownRows() const { return shown; }
    const ArchiveRow* rowAt(int shownRow) const;

private:
    void sortAll();
    void applyFilter();

    std::vector<ArchiveRow> all;
    std::unique_ptr<ArchiveFilter> filter;
    std::string filterText;
    int sortColumn = endedAt;
    Qt::SortOrder sortOrder = Qt::DescendingOrder;
    std::vector<uint32_t> sorted; // every row in the current order
    std::vector<uint32_t> shown;
};

} // namespace pelimo
