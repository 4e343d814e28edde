#include "watch/ui/CRkAramList.h"

#include "HistoryUiTexts.h"
#include "WatchTexts.h"
#include "history/HistoryCsv.h"
#include "history/HistoryStore.h"
#include "history/ui/CsvSaveDialog.h"
#include "history/ui/PriceChartWindow.h"
#include "history/ui/SparklineDelegate.h"
#include "listing/QtColumnAlign.h"
#include "platform/EventPump.h"
#include "platform/qt/PrivateMessage.h"
#include "platform/qt/QtText.h"
#include "platform/text/TextFill.h"
#include "search/ResultImages.h"
#include "search/ResultOrder.h"
#include "search/SearchListHost.h"
#include "watch/WatchColumns.h"
#include "watch/ui/CRkCeilingDlg.h"

#include <QHash>
#include <QHeaderView>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QStyledItemDelegate>

namespace pelimo {
namespace {

// The item number's bytes as the entries hold them, beside each shown text.
constexpr int kSjisRole = Qt::UserRole + 1;

std::string sjisOf(const QTreeWidgetItem& row, int column)
{
    return row.data(column, kSjisRole).toByteArray().toStdString();
}

NearEndSettings nearEndOf(const ExtSettings& ext)
{
    return NearEndSettings{ext.nearEndFaster, ext.nearEndMinutes, ext.nearEndIntervalSeconds};
}

QColor toQColor(ColourRef c)
{
    return QColor(colourRed(c), colourGreen(c), colourBlue(c));
}

// Points a row's sparkline is thinned to: about one per pixel of the column.
constexpr size_t kTrendPoints = 90;

void applyAlarmColours(const CRkAramList& list, QStyleOptionViewItem& option, int row)
{
    if (const auto colours = list.rowAlarmColours(row)) {
        option.palette.setColor(QPalette::Text, colours->first);
        option.backgroundBrush = colours->second;
    }
}

// A row that sorts by the list's column rules.
class AramRow final : public QTreeWidgetItem {
public:
    explicit AramRow(const CRkAramList& owner) : list(owner) {}

    bool operator<(const QTreeWidgetItem& other) const override { return list.compareRows(*this, other); }

private:
    const CRkAramList& list;
};

// Paints rows in alarm with the alarm colours, looked up at paint time.
class AramRowDelegate final : public QStyledItemDelegate {
public:
    explicit AramRowDelegate(CRkAramList& owner) : QStyledItemDelegate(&owner), list(owner) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        applyAlarmColours(list, *option, index.row());
    }

private:
    const CRkAramList& list;
};

} // namespace

CRkAramList::CRkAramList(QWidget* parent, const EnvSettings& s, const Endpoints& e, WatchListHost& host,
                         AlarmNotifier& notifier, std::string directory)
    : QTreeWidget(parent), settings(s), endpoints(e),
      watch(s, e, host, notifier, std::move(directory), platform::dispatchPendingEvents),
      nearEndTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("aramList"));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setFrameShape(QFrame::StyledPanel);
    setIconSize(QSize(16, 16));
    setContextMenuPolicy(Qt::CustomContextMenu);
    setItemDelegate(new AramRowDelegate(*this));
    setItemDelegateForColumn(
        kColumnTrend,
        new SparklineDelegate([this](const QModelIndex& index) { return rowTrend(index.row()); },
                              [this](QStyleOptionViewItem& option, const QModelIndex& index) {
                                  applyAlarmColours(*this, option, index.row());
                              },
                              this));

    setColumnCount(kListingColumnCount + 1);
    QStringList headers;
    for (const ListingColumnDef& c : kListingColumns)
        headers << platform::toQString(c.header);
    headers << platform::toQString(kTrendColumn.header);
    setHeaderLabels(headers);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    for (int i = 0; i < kListingColumnCount; ++i) {
        header()->resizeSection(i, kListingColumns[static_cast<size_t>(i)].width);
        headerItem()->setTextAlignment(i, qtAlignment(kListingColumns[static_cast<size_t>(i)].align));
    }
    header()->resizeSection(kColumnTrend, kTrendColumn.width);

    connect(header(), &QHeaderView::sectionClicked, this, &CRkAramList::sortByColumn);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this] { openSelectedItem(); });
    connect(this, &QWidget::customContextMenuRequested, this, &CRkAramList::showContextMenu);
    connect(&watchTimer, &QTimer::timeout, this, &CRkAramList::onTimer);
    nearEndTimer->setObjectName(QStringLiteral("nearEndTimer"));
    // A tick that comes while a pass runs is dropped by the list itself.
    connect(nearEndTimer, &QTimer::timeout, this, [this] { watch.runFastTick(); });

    watch.setView(this);
    // The timers start with createAramList.
    watch.setNearEndSettings(nearEndOf(settings.ext));
}

CRkAramList::~CRkAramList()
{
    watchTimer.stop();
    nearEndTimer->stop();
    watch.setView(nullptr);
    watch.save();
}

void CRkAramList::setHistory(HistoryStore* store)
{
    history = store;
    watch.setHistory(store);
    trends.clear();
    std::vector<std::string> itemNos;
    itemNos.reserve(watch.entries().size());
    for (const AramEntry& e : watch.entries())
        itemNos.push_back(e.info.ItemNo);
    refreshTrends(itemNos);
}

const Sparkline* CRkAramList::rowTrend(int row) const
{
    const auto it = trends.find(rowItemNo(row));
    return it == trends.end() ? nullptr : &it->second;
}

void CRkAramList::refreshTrends(const std::vector<std::string>& itemNos)
{
    if (history == nullptr || itemNos.empty())
        return;
    std::vector<Sparkline> lines = history->sparklines(itemNos, kTrendPoints);
    for (size_t i = 0; i < itemNos.size() && i < lines.size(); ++i)
        trends[itemNos[i]] = std::move(lines[i]);
    for (int i = 0; i < topLevelItemCount(); ++i)
        updateRowTip(*topLevelItem(i));
    viewport()->update();
}

void CRkAramList::createAramList()
{
    watch.load();
    // The ceilings are read after the rows were made.
    for (int i = 0; i < topLevelItemCount(); ++i)
        updateRowTip(*topLevelItem(i));
    restartTimer();
}

void CRkAramList::restartTimer()
{
    if (closing)
        return;
    watchTimer.stop();
    watchTimer.start(static_cast<int>(watch.timerInterval().count()));
    applyNearEndSettings();
}

void CRkAramList::applyNearEndSettings()
{
    watch.setNearEndSettings(nearEndOf(settings.ext));
    if (closing || !isOn(watch.nearEndSettings().enabled)) {
        nearEndTimer->stop();
        return;
    }
    const int ms = static_cast<int>(watch.fastTickInterval().count());
    if (!nearEndTimer->isActive() || nearEndTimer->interval() != ms)
        nearEndTimer->start(ms);
}

void CRkAramList::onTimer()
{
    const QPointer<CRkAramList> self(this);
    watch.runUpdateCycle();
    if (self)
        restartTimer();
}

bool CRkAramList::event(QEvent* e)
{
    if (platform::messageOf<platform::AramUpdateNow>(e)) {
        watch.updateNow();
        return true;
    }
    if (platform::messageOf<platform::AramExitRequest>(e)) {
        // The list is about to go: no timer may start another pass meanwhile.
        closing = true;
        watchTimer.stop();
        nearEndTimer->stop();
        watch.requestExit();
        return true;
    }
    return QTreeWidget::event(e);
}

void CRkAramList::fillRow(QTreeWidgetItem& row, const ItemInfo& info)
{
    for (int c = 0; c < kListingColumnCount; ++c) {
        const std::string text = watchColumnText(info, c);
        row.setText(c, platform::toQString(text));
        row.setData(c, kSjisRole, QByteArray::fromStdString(text));
        row.setTextAlignment(c, qtAlignment(kListingColumns[static_cast<size_t>(c)].align));
    }
    updateRowTip(row);
}

void CRkAramList::updateRowTip(QTreeWidgetItem& row)
{
    const std::string itemNo = sjisOf(row, kColumnItemNo);
    const std::optional<int32_t> limit = watch.ceiling(itemNo);
    const QString tip =
        limit ? platform::toQString(fillText(watch_text::kCeilingTip, {static_cast<long long>(*limit)}))
              : QString();
    for (int c = 0; c < kListingColumnCount; ++c)
        row.setToolTip(c, tip);
    // The "推移" cell tells the course of the price, and the ceiling below it.
    const auto trend = trends.find(itemNo);
    QString trendTip = trend == trends.end() ? QString() : platform::toQString(sparklineTip(trend->second));
    if (!tip.isEmpty())
        trendTip = trendTip.isEmpty() ? tip : trendTip + QLatin1Char('\n') + tip;
    row.setToolTip(kColumnTrend, trendTip);
}

void CRkAramList::entryAppended(const AramEntry& entry)
{
    auto* row = new AramRow(*this);
    static const QIcon blank = [] {
        QPixmap p(16, 16);
        p.fill(Qt::transparent);
        return QIcon(p);
    }();
    row->setIcon(0, blank);
    fillRow(*row, entry.info);
    addTopLevelItem(row);
    // A listing a saved search met before it was watched has a course already.
    if (history != nullptr)
        refreshTrends({entry.info.ItemNo});
}

void CRkAramList::refreshRows(const std::vector<const AramEntry*>& entries)
{
    // The first row showing each number, found in one walk over the rows.
    QHash<QByteArray, QTreeWidgetItem*> rows;
    rows.reserve(topLevelItemCount());
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = topLevelItem(i);
        const QByteArray key = row->data(kColumnItemNo, kSjisRole).toByteArray();
        if (!rows.contains(key))
            rows.insert(key, row);
    }
    // Only a listing whose price moved has a new step; reading every listing's series after
    // every pass would cost the window half a second with a year of history.
    std::vector<std::string> moved;
    for (const AramEntry* entry : entries) {
        QTreeWidgetItem* row = rows.value(QByteArray::fromStdString(entry->info.ItemNo));
        if (row == nullptr)
            continue;
        const bool priceMoved = sjisOf(*row, kColumnPrice) != watchColumnText(entry->info, kColumnPrice);
        fillRow(*row, entry->info);
        const auto known = trends.find(entry->info.ItemNo);
        if (priceMoved || known == trends.end() || known->second.points.empty())
            moved.push_back(entry->info.ItemNo);
    }
    // The pass has written its history by now.
    refreshTrends(moved);
    viewport()->update();
}

void CRkAramList::repaintRows()
{
    viewport()->repaint();
}

std::string CRkAramList::rowItemNo(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? sjisOf(*item, kColumnItemNo) : std::string();
}

std::optional<std::pair<QColor, QColor>> CRkAramList::rowAlarmColours(int row) const
{
    const int32_t pos = watch.findEntry(rowItemNo(row));
    if (pos < 0 || !watch.entries()[static_cast<size_t>(pos)].inAlarm() ||
        !isOn(settings.alarmChangesListColour))
        return std::nullopt;
    return std::make_pair(toQColor(settings.alarmTextColour), toQColor(settings.alarmBackColour));
}

QTreeWidgetItem* CRkAramList::selectedRow() const
{
    // The current row outlives a click on empty space that clears the selection; only a row
    // the user still sees selected counts.
    QTreeWidgetItem* current = currentItem();
    if (current != nullptr && current->isSelected())
        return current;
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

void CRkAramList::removeSelectedEntry()
{
    QTreeWidgetItem* mark = selectedRow();
    if (!mark)
        return;
    const std::string itemNo = sjisOf(*mark, kColumnItemNo);
    delete mark;
    watch.removeEntry(itemNo);
    watch.host().unmarkItem(itemNo);
}

void CRkAramList::editSelectedCeiling()
{
    QTreeWidgetItem* mark = selectedRow();
    if (!mark)
        return;
    const std::string itemNo = sjisOf(*mark, kColumnItemNo);
    if (watch.findEntry(itemNo) < 0)
        return;
    // Like the menu, the dialog is no child of the list, which may go while it waits.
    CRkCeilingDlg dialog(watch.ceiling(itemNo), nullptr);
    const QPointer<CRkAramList> self(this);
    if (dialog.exec() != QDialog::Accepted || !self)
        return;
    watch.setCeiling(itemNo, dialog.ceiling());
    // The row is found again: a cycle may have refreshed the rows meanwhile.
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (sjisOf(*topLevelItem(i), kColumnItemNo) == itemNo)
            updateRowTip(*topLevelItem(i));
    }
}

void CRkAramList::showSelectedChart()
{
    QTreeWidgetItem* mark = selectedRow();
    if (!mark || history == nullptr)
        return;
    const int32_t pos = watch.findEntry(sjisOf(*mark, kColumnItemNo));
    if (pos < 0)
        return;
    const ItemInfo& info = watch.entries()[static_cast<size_t>(pos)].info;
    const std::optional<int32_t> limit = watch.ceiling(info.ItemNo);
    showPriceChart(*history, info.ItemNo, info.ItemName,
                   limit ? std::optional<int64_t>(*limit) : std::nullopt, window());
}

std::string CRkAramList::rowsCsv() const
{
    const std::unordered_map<std::string, std::string> notes =
        history != nullptr ? history->notes() : std::unordered_map<std::string, std::string>();
    std::vector<ListingCsvRow> rows;
    rows.reserve(static_cast<size_t>(topLevelItemCount()));
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QTreeWidgetItem& item = *topLevelItem(i);
        ListingCsvRow row;
        for (int c = 0; c < kListingColumnCount; ++c)
            row.cells[static_cast<size_t>(c)] = sjisOf(item, c);
        if (const auto it = notes.find(row.cells[kColumnItemNo]); it != notes.end())
            row.note = it->second;
        rows.push_back(std::move(row));
    }
    return listingCsv(ListingCsvKind::watchList, rows);
}

void CRkAramList::openSelectedItem()
{
    if (watch.busy() == 1)
        return;
    QTreeWidgetItem* mark = currentItem();
    if (!mark)
        return;
    const int32_t pos = watch.findEntry(sjisOf(*mark, kColumnItemNo));
    if (pos < 0)
        return;
    watch.host().showItem(kOriginWatchList, ItemInfo(watch.entries()[static_cast<size_t>(pos)].info));
}

void CRkAramList::sortByColumn(int column)
{
    if (column < 0 || column >= kListingColumnCount)
        return;
    sortColumn = column;
    sortDescending[column] = sortDescending[column] == 0 ? 1 : 0;
    // The header shows the result lists' triangles (down for descending, up for ascending)
    // rather than the style's indicator, whose direction varies between styles.
    for (int c = 0; c < kListingColumnCount; ++c)
        headerItem()->setIcon(c, QIcon());
    headerItem()->setIcon(column, resultImage(sortDescending[column] == 1 ? kImageSortDown : kImageSortUp));
    sortItems(column, sortDescending[column] == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool CRkAramList::compareRows(const QTreeWidgetItem& a, const QTreeWidgetItem& b) const
{
    // The watch list's columns are those of the result lists and sort the same way.
    const int column = sortColumn < 0 ? kColumnItemNo : sortColumn;
    const std::string ta = sjisOf(a, column);
    const std::string tb = sjisOf(b, column);
    if (kListingColumns[static_cast<size_t>(column)].sortKey != SortKey::text)
        return numericSortValue(column, ta) < numericSortValue(column, tb);
    return compareSjisText(ta, tb) < 0;
}

void CRkAramList::showContextMenu(const QPoint& pos)
{
    // The menu is no child of the list: an orderly shutdown may destroy the list while the
    // menu waits for a choice.
    QMenu menu;
    QAction* remove = menu.addAction(platform::toQString(watch_text::kMenuRemoveEntry));
    remove->setData(kCommandRemoveEntry);
    QAction* chart = menu.addAction(platform::toQString(history_ui_text::kMenuPriceChart));
    chart->setData(kCommandPriceChart);
    chart->setEnabled(history != nullptr);
    QAction* csv = menu.addAction(platform::toQString(history_ui_text::kMenuSaveCsv));
    csv->setData(kCommandSaveCsv);
    // The ceiling stays the menu's last command, where the keyboard finds it with one Up.
    QAction* ceiling = menu.addAction(platform::toQString(watch_text::kMenuSetCeiling));
    ceiling->setData(kCommandSetCeiling);
    const QPointer<CRkAramList> self(this);
    QAction* chosen = menu.exec(viewport()->mapToGlobal(pos));
    if (!self)
        return;
    if (chosen == remove)
        removeSelectedEntry();
    else if (chosen == ceiling)
        editSelectedCeiling();
    else if (chosen == chart)
        showSelectedChart();
    else if (chosen == csv)
        saveCsvWithDialog(this, [this] { return rowsCsv(); });
}

} // namespace pelimo
