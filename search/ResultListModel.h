#pragma once

#include "listing/ListingOrder.h"

#include <QAbstractTableModel>
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace pelimo {

// A result list shows the listing columns.
inline constexpr int kResultColumnCount = kListingColumnCount;

struct EnvSettings;

// The rows of one result list in display order, with their texts as shown (Shift-JIS), the
// row image and the header images; a last column holds the listing's picture, which the list
// draws itself. Rows are stored once, in the order added; the display
// order is a list of row ids, so inserting at the top and sorting move ids only.
class ResultListModel final : public QAbstractTableModel {
public:
    using Cells = std::array<std::string, kResultColumnCount>;
    struct NewRow {
        Cells cells;
        int image = 0;
        std::string pictureAddress; // the listing's picture, shown in the column after the cells
    };

    ResultListModel(const EnvSettings& settings, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Inserts rows at a display position (clamped to the rows there are) in their order, in
    // one insertion.
    void insertRows(int at, std::vector<NewRow> newRows);
    const std::string& cell(int row, int column) const;
    const std::string& pictureAddress(int row) const;
    int rowImage(int row) const;
    void setRowImage(int row, int image);

    bool isRowFresh(int row) const;
    // Draws the rows showing one of these exhibit numbers in the alarm colours.
    void markFresh(const std::vector<std::string>& itemNos);
    // Back to the type colours for every row.
    void clearFresh();

    int headerImage(int column) const;
    void setHeaderImage(int column, int image);

    // Reorders every row by one column; selections and the current row follow their rows.
    void sortRows(int column, bool ascending);

private:
    struct Row {
        Cells cells;
        int image = 0;
        bool fresh = false;
        std::string pictureAddress;
    };

    const Row& rowAt(int row) const { return rows[static_cast<size_t>(order[static_cast<size_t>(row)])]; }

    const EnvSettings& settings;
    // A deque: rows never move once in, however many pages follow.
    std::deque<Row> rows;
    std::deque<int32_t> order;
    std::array<int, kResultColumnCount> headerImages{};
};

} // namespace pelimo
