#include "search/ResultListModel.h"

#include "listing/QtColour.h"
#include "listing/QtColumnAlign.h"
#include "listing/ResultImages.h"
#include "platform/qt/QtText.h"
#include "settings/EnvSettings.h"
#include "xmlclient/AuctionType.h"

#include <QColor>
#include <algorithm>
#include <unordered_set>

namespace pelimo {
namespace {

const ListingColumnDef& columnOf(int column)
{
    return kListingColumns[static_cast<size_t>(column)];
}

} // namespace

ResultListModel::ResultListModel(const EnvSettings& settings, QObject* parent)
    : QAbstractTableModel(parent), settings(settings)
{
    headerImages.fill(kImageHeaderNone);
}

int ResultListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(order.size());
}

int ResultListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kResultColumnCount + 1;
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const Row& row = rowAt(index.row());
    const int column = index.column();
    if (column == kColumnPicture && role != Qt::ForegroundRole && role != Qt::BackgroundRole)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return platform::toQString(row.cells[static_cast<size_t>(column)]);
    case Qt::DecorationRole:
        if (column == kColumnItemNo)
            return resultImage(row.image);
        return {};
    case Qt::ToolTipRole:
        // The item number reads whole there even in a column dragged narrow.
        if (column == kColumnItemNo)
            return platform::toQString(row.cells[kColumnItemNo]);
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(qtAlignment(columnOf(column).align));
    case Qt::ForegroundRole:
    case Qt::BackgroundRole: {
        if (row.fresh)
            return toQColor(role == Qt::ForegroundRole ? settings.alarmTextColour : settings.alarmBackColour);
        // Keyed on the label the type column shows, and read now, so a colour changed in
        // the settings shows at the next repaint.
        const int32_t k = typeIndexOfLabel(row.cells[kColumnType]);
        if (k < 1 || k > static_cast<int32_t>(kTypeColourCount))
            return {};
        const TypeColours& pair = settings.typeColours[static_cast<size_t>(k - 1)];
        return toQColor(role == Qt::ForegroundRole ? pair.text : pair.back);
    }
    default:
        return {};
    }
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section == kColumnPicture) {
        if (role == Qt::DisplayRole)
            return platform::toQString(kPictureColumn.header);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(qtAlignment(kPictureColumn.align));
        return {};
    }
    if (orientation != Qt::Horizontal || section < 0 || section >= kResultColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return platform::toQString(columnOf(section).header);
    case Qt::DecorationRole:
        return resultImage(headerImages[static_cast<size_t>(section)]);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(qtAlignment(columnOf(section).align));
    default:
        return {};
    }
}

void ResultListModel::insertRows(int at, std::vector<NewRow> newRows)
{
    if (newRows.empty())
        return;
    const int position = std::clamp(at, 0, rowCount());
    const int count = static_cast<int>(newRows.size());
    beginInsertRows({}, position, position + count - 1);
    std::vector<int32_t> ids;
    ids.reserve(newRows.size());
    for (NewRow& row : newRows) {
        ids.push_back(static_cast<int32_t>(rows.size()));
        rows.push_back(Row{std::move(row.cells), row.image, false, std::move(row.pictureAddress)});
    }
    order.insert(order.begin() + position, ids.begin(), ids.end());
    endInsertRows();
}

const std::string& ResultListModel::cell(int row, int column) const
{
    return rowAt(row).cells[static_cast<size_t>(column)];
}

const std::string& ResultListModel::pictureAddress(int row) const
{
    return rowAt(row).pictureAddress;
}

int ResultListModel::rowImage(int row) const
{
    return rowAt(row).image;
}

void ResultListModel::setRowImage(int row, int image)
{
    if (row < 0 || row >= rowCount())
        return;
    rows[static_cast<size_t>(order[static_cast<size_t>(row)])].image = image;
    const QModelIndex changed = index(row, kColumnItemNo);
    emit dataChanged(changed, changed, {Qt::DecorationRole});
}

bool ResultListModel::isRowFresh(int row) const
{
    return row >= 0 && row < rowCount() && rowAt(row).fresh;
}

void ResultListModel::markFresh(const std::vector<std::string>& itemNos)
{
    const std::unordered_set<std::string> numbers(itemNos.begin(), itemNos.end());
    for (Row& row : rows) {
        if (numbers.contains(row.cells[kColumnItemNo]))
            row.fresh = true;
    }
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, kResultColumnCount),
                         {Qt::ForegroundRole, Qt::BackgroundRole});
}

void ResultListModel::clearFresh()
{
    for (Row& row : rows)
        row.fresh = false;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, kResultColumnCount),
                         {Qt::ForegroundRole, Qt::BackgroundRole});
}

int ResultListModel::headerImage(int column) const
{
    return headerImages[static_cast<size_t>(column)];
}

void ResultListModel::setHeaderImage(int column, int image)
{
    if (column < 0 || column >= kResultColumnCount)
        return;
    headerImages[static_cast<size_t>(column)] = image;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void ResultListModel::sortRows(int column, bool ascending)
{
    if (column < 0 || column >= kResultColumnCount)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);

    std::vector<int32_t> ids(order.begin(), order.end());
    sortRowIds(ids, column, ascending, [this, column](int32_t id) -> std::string_view {
        return rows[static_cast<size_t>(id)].cells[static_cast<size_t>(column)];
    });

    // Display position of every row id after the sort, for the persistent indexes.
    std::vector<int> newPosition(rows.size());
    for (size_t i = 0; i < ids.size(); ++i)
        newPosition[static_cast<size_t>(ids[i])] = static_cast<int>(i);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old : before) {
        const int32_t id = order[static_cast<size_t>(old.row())];
        after.push_back(index(newPosition[static_cast<size_t>(id)], old.column()));
    }
    order.assign(ids.begin(), ids.end());
    changePersistentIndexList(before, after);

    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace pelimo
