#include "history/ui/ArchiveModel.h"

#include "HistoryTexts.h"
#include "HistoryUiTexts.h"
#include "platform/qt/QtText.h"
#include "platform/text/TextFill.h"
#include "xmlclient/AuctionType.h"

#include <QDateTime>
#include <algorithm>

namespace pelimo {
namespace {

QString qs(const char* sjis)
{
    return platform::toQString(sjis);
}

QString yen(const std::optional<int64_t>& amount)
{
    if (!amount)
        return qs(history_ui_text::kArchiveNoPrice);
    return platform::toQString(fillText(history_ui_text::kArchiveYen, {std::to_string(*amount)}));
}

// Compares two rows by a column, nothing before anything.
template <typename T> int compareOptional(const std::optional<T>& a, const std::optional<T>& b)
{
    if (a.has_value() != b.has_value())
        return a.has_value() ? 1 : -1;
    if (!a)
        return 0;
    return *a < *b ? -1 : (*b < *a ? 1 : 0);
}

int compareRows(const ArchiveRow& a, const ArchiveRow& b, int column)
{
    switch (column) {
    case ArchiveModel::itemNo:
        return a.itemNo.compare(b.itemNo);
    case ArchiveModel::title:
        return a.titleKey.compare(b.titleKey);
    case ArchiveModel::finalPrice:
        return compareOptional(a.finalPrice, b.finalPrice);
    case ArchiveModel::bids:
        return compareOptional(a.bids, b.bids);
    case ArchiveModel::type:
        return a.auctionType.compare(b.auctionType);
    case ArchiveModel::endedAt:
        return a.endedAt < b.endedAt ? -1 : (b.endedAt < a.endedAt ? 1 : 0);
    case ArchiveModel::origin:
        if (a.origin.kind != b.origin.kind)
            return a.origin.kind == ListingOrigin::Kind::watchList ? -1 : 1;
        return a.origin.keyword.compare(b.origin.keyword);
    case ArchiveModel::confirmed:
        return int{a.confirmed} - int{b.confirmed};
    default:
        return 0;
    }
}

} // namespace

ArchiveModel::ArchiveModel(QObject* parent) : QAbstractTableModel(parent) {}

void ArchiveModel::setRows(std::vector<ArchiveRow> rows)
{
    ArchiveFilter index(rows);
    setRows(std::move(rows), std::move(index));
}

void ArchiveModel::setRows(std::vector<ArchiveRow> rows, ArchiveFilter index)
{
    beginResetModel();
    all = std::move(rows);
    filter = std::make_unique<ArchiveFilter>(std::move(index));
    sortAll();
    applyFilter();
    endResetModel();
}

void ArchiveModel::setFilter(const std::string& sjis)
{
    beginResetModel();
    filterText = sjis;
    applyFilter();
    endResetModel();
}

void ArchiveModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnTotal)
        return;
    beginResetModel();
    sortColumn = column;
    sortOrder = order;
    sortAll();
    applyFilter();
    endResetModel();
}

void ArchiveModel::sortAll()
{
    sorted.resize(all.size());
    for (uint32_t i = 0; i < sorted.size(); ++i)
        sorted[i] = i;
    // Stable, so rows alike in the column keep the store's order (latest end first).
    const bool descending = sortOrder == Qt::DescendingOrder;
    std::stable_sort(sorted.begin(), sorted.end(), [this, descending](uint32_t a, uint32_t b) {
        const int c = compareRows(all[a], all[b], sortColumn);
        return descending ? c > 0 : c < 0;
    });
}

void ArchiveModel::applyFilter()
{
    shown.clear();
    if (!filter)
        return;
    const std::vector<uint32_t> matching = filter->matching(filterText);
    if (matching.size() == all.size()) {
        shown = sorted;
        return;
    }
    std::vector<char> wanted(all.size(), 0);
    for (const uint32_t i : matching)
        wanted[i] = 1;
    shown.reserve(matching.size());
    for (const uint32_t i : sorted) {
        if (wanted[i] != 0)
            shown.push_back(i);
    }
}

const ArchiveRow* ArchiveModel::rowAt(int shownRow) const
{
    if (shownRow < 0 || static_cast<size_t>(shownRow) >= shown.size())
        return nullptr;
    return &all[shown[static_cast<size_t>(shownRow)]];
}

int ArchiveModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shown.size());
}

int ArchiveModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columnTotal);
}

QVariant ArchiveModel::data(const QModelIndex& index, int role) const
{
    const ArchiveRow* row = rowAt(index.row());
    if (row == nullptr)
        return {};
    if (role == Qt::TextAlignmentRole) {
        const bool number = index.column() == finalPrice || index.column() == bids;
        return QVariant::fromValue(Qt::Alignment(number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case itemNo:
        return platform::toQString(row->itemNo);
    case title:
        return platform::toQString(row->title);
    case finalPrice:
        return yen(row->finalPrice);
    case bids:
        return row->bids ? QString::number(*row->bids) : qs(history_ui_text::kArchiveNoPrice);
    case type:
        return platform::toQString(std::string(shortTypeLabel(row->auctionType)));
    case endedAt:
        return QDateTime::fromSecsSinceEpoch(row->endedAt.time_since_epoch().count())
            .toString(QStringLiteral("yyyy/MM/dd HH:mm"));
    case origin:
        return row->origin.kind == ListingOrigin::Kind::watchList ? qs(history_text::kOriginWatchList)
                                                                  : platform::toQString(row->origin.keyword);
    case confirmed:
        return qs(row->confirmed ? history_text::kConfirmed : history_text::kUnconfirmed);
    default:
        return {};
    }
}

QVariant ArchiveModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const headers[] = {
        history_ui_text::kArchiveItemNo,     history_ui_text::kArchiveTitle,
        history_ui_text::kArchiveFinalPrice, history_ui_text::kArchiveBids,
        history_ui_text::kArchiveType,       history_ui_text::kArchiveEndedAt,
        history_ui_text::kArchiveOrigin,     history_ui_text::kArchiveConfirmed};
    if (section < 0 || section >= columnTotal)
        return {};
    return qs(headers[section]);
}

} // namespace pelimo
