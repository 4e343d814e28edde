#include "watch/ui/CRkAramList.h"

#include "HistoryUiTexts.h"
#include "WatchTexts.h"
#include "history/HistoryCsv.h"
#include "history/HistoryReads.h"
#include "history/HistoryStore.h"
#include "history/ui/CsvSaveDialog.h"
#include "history/ui/PriceChartWindow.h"
#include "history/ui/SparklineDelegate.h"
#include "listing/ItemPageOrigin.h"
#include "listing/ListingCells.h"
#include "listing/ListingOrder.h"
#include "listing/QtColour.h"
#include "listing/QtColumnAlign.h"
#include "listing/QtItemNoWidth.h"
#include "listing/ResultImages.h"
#include "pictures/qt/ListPictures.h"
#include "platform/EventPump.h"
#include "platform/qt/PrivateMessage.h"
#include "platform/qt/QtText.h"
#include "platform/text/TextFill.h"
#include "watch/ui/CRkCeilingDlg.h"

#include <QHash>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
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

    setColumnCount(kColumnTrend + 1);
    QStringList headers;
    for (const ListingColumnDef& c : kListingColumns)
        headers << platform::toQString(c.header);
    headers << platform::toQString(kPictureColumn.header) << platform::toQString(kNoteColumn.header)
            << platform::toQString(kTrendColumn.header);
    setHeaderLabels(headers);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    for (int i = 0; i < kListingColumnCount; ++i) {
        header()->resizeSection(i, kListingColumns[static_cast<size_t>(i)].width);
        headerItem()->setTextAlignment(i, qtAlignment(kListingColumns[static_cast<size_t>(i)].align));
    }
    header()->resizeSection(
        kColumnItemNo,
        itemNoColumnWidth(fontMetrics(), iconSize().width() + (rootIsDecorated() ? indentation() : 0)));
    for (const auto& [column, def] :
         {std::pair{kColumnPicture, &kPictureColumn}, std::pair{kColumnNote, &kNoteColumn},
          std::pair{kColumnTrend, &kTrendColumn}}) {
        header()->resizeSection(column, def->width);
        headerItem()->setTextAlignment(column, qtAlignment(def->align));
    }
    // Without a store of pictures there is nothing to show in it.
    setColumnHidden(kColumnPicture, true);

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
    // The pictures' watcher filters the list's events: it goes before the widget it watches is
    // torn down, which still sends events on the way.
    delete listPictures;
    watchTimer.stop();
    nearEndTimer->stop();
    watch.setView(nullptr);
    watch.save();
}

void CRkAramList::setHistory(HistoryStore* store, HistoryReads* reads)
{
    history = store;
    historyReads = store ? reads : nullptr;
    watch.setHistory(store);
    notes = store ? store->notes() : std::unordered_map<std::string, std::string>{};
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = topLevelItem(i);
        const auto note = notes.find(sjisOf(*row, kColumnItemNo));
        row->setText(kColumnNote,
                     note == notes.end() ? QString() : platform::toQString(note->second).simplified());
    }
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
    if (historyReads == nullptr) {
        showTrends(itemNos, history->sparklines(itemNos, kTrendPoints));
        return;
    }
    // The reads run in the order asked, so a later series never gives way to an older one.
    historyReads->read(
        [itemNos](const HistoryStore& store) { return store.sparklines(itemNos, kTrendPoints); },
        [self = QPointer<CRkAramList>(this), itemNos, from = history](std::vector<Sparkline> lines) {
            if (self && self->history == from)
                self->showTrends(itemNos, std::move(lines));
        });
}

void CRkAramList::showTrends(const std::vector<std::string>& itemNos, std::vector<Sparkline> lines)
{
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
    forgetRemovals();
    const QPointer<CRkAramList> self(this);
    watch.runUpdateCycle();
    if (self)
        restartTimer();
}

bool CRkAramList::event(QEvent* e)
{
    if (platform::messageOf<platform::AramUpdateNow>(e)) {
        forgetRemovals();
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
    const ListingCells cells = listingCells(info);
    for (int c = 0; c < kListingColumnCount; ++c) {
        const std::string& text = cells[static_cast<size_t>(c)];
        row.setText(c, platform::toQString(text));
        row.setData(c, kSjisRole, QByteArray::fromStdString(text));
        row.setTextAlignment(c, qtAlignment(kListingColumns[static_cast<size_t>(c)].align));
    }
    row.setData(kColumnPicture, kSjisRole, QByteArray::fromStdString(info.ImageUrl));
    const auto note = notes.find(info.ItemNo);
    // The column shows the note on one line; the tooltip shows it whole.
    row.setText(kColumnNote,
                note == notes.end() ? QString() : platform::toQString(note->second).simplified());
    updateRowTip(row);
}

void CRkAramList::updateRowTip(QTreeWidgetItem& row)
{
    const std::string itemNo = sjisOf(row, kColumnItemNo);
    const std::optional<int32_t> limit = watch.ceiling(itemNo);
    QString tip =
        limit ? platform::toQString(fillText(watch_text::kCeilingTip, {static_cast<long long>(*limit)}))
              : QString();
    if (const auto note = notes.find(sjisOf(row, kColumnItemNo)); note != notes.end()) {
        if (!tip.isEmpty())
            tip += QLatin1Char('\n');
        tip += platform::toQString(note->second);
    }
    for (int c = 0; c <= kColumnNote; ++c)
        row.setToolTip(c, tip);
    // The item number reads whole there even in a column dragged narrow.
    const QString number = row.text(kColumnItemNo);
    row.setToolTip(kColumnItemNo, tip.isEmpty() ? number : number + QLatin1Char('\n') + tip);
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
    // The empty image keeps the item number's text at one x in every row, as in the result lists.
    row->setIcon(0, resultImage(kImageNone));
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
        const bool priceMoved = sjisOf(*row, kColumnPrice) != listingCellText(entry->info, kColumnPrice);
        fillRow(*row, entry->info);
        const auto known = trends.find(entry->info.ItemNo);
        if (priceMoved || known == trends.end() || known->second.points.empty())
            moved.push_back(entry->info.ItemNo);
    }
    // The pass has written its history by now.
    refreshTrends(moved);
    viewport()->update();
    Q_EMIT passEnded();
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
    if (pos < 0)
        return std::nullopt;
    const AramEntry& entry = watch.entries()[static_cast<size_t>(pos)];
    // A ceiling is set by hand for one listing, so its crossing shows in the row even while
    // the list colours are off.
    const bool ceilingCrossed = (entry.flags & kCeilingAlarm) != 0;
    if (!entry.inAlarm() || (!ceilingCrossed && !isOn(settings.alarmChangesListColour)))
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
    QList<QTreeWidgetItem*> marked = selectedItems();
    if (QTreeWidgetItem* current = selectedRow(); current != nullptr && !marked.contains(current))
        marked.push_back(current);
    std::vector<Removed> removed;
    for (QTreeWidgetItem* mark : marked) {
        const std::string itemNo = sjisOf(*mark, kColumnItemNo);
        const int32_t pos = watch.findEntry(itemNo);
        if (pos >= 0)
            removed.push_back({watch.entries()[static_cast<size_t>(pos)].info, watch.ceiling(itemNo)});
        delete mark;
        watch.removeEntry(itemNo);
        watch.host().unmarkItem(itemNo);
    }
    if (removed.empty())
        return;
    const auto count = static_cast<long long>(removed.size());
    removals.push_back(std::move(removed));
    watch.host().setStatusLine(fillText(watch_text::kRemovedFromWatchList, {count}));
}

bool CRkAramList::undoRemoval()
{
    if (removals.empty())
        return false;
    const std::vector<Removed> last = std::move(removals.back());
    removals.pop_back();
    long long restored = 0;
    for (const Removed& r : last) {
        if (!watch.addEntry(r.info))
            continue; // added again meanwhile, from a search
        ++restored;
        if (r.ceiling)
            watch.setCeiling(r.info.ItemNo, r.ceiling);
    }
    // The rows got their tips before their ceilings were back.
    for (int i = 0; i < topLevelItemCount(); ++i)
        updateRowTip(*topLevelItem(i));
    watch.host().setStatusLine(fillText(watch_text::kRemovalUndone, {restored}));
    return true;
}

void CRkAramList::keyPressEvent(QKeyEvent* e)
{
    if (e->matches(QKeySequence::Delete)) {
        removeSelectedEntry();
    } else if (e->matches(QKeySequence::Undo)) {
        undoRemoval();
    } else if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
               e->modifiers() == Qt::NoModifier) {
        // Enter on a row does what a double-click does.
        openSelectedItem();
    } else {
        QTreeWidget::keyPressEvent(e);
        return;
    }
    e->accept();
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

void CRkAramList::sortBy(int column, bool descending)
{
    if (column < 0 || column >= kListingColumnCount)
        return;
    sortDescending[column] = descending ? 0 : 1;
    sortByColumn(column);
}

std::optional<std::pair<int, bool>> CRkAramList::sortState() const
{
    if (sortColumn < 0 || sortColumn >= kListingColumnCount)
        return std::nullopt;
    return std::pair{sortColumn, sortDescending[sortColumn] == 1};
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
        headerItem()->setIcon(c, resultImage(kImageHeaderNone));
    headerItem()->setIcon(column, resultImage(sortDescending[column] == 1 ? kImageSortDown : kImageSortUp));
    sortItems(column, sortDescending[column] == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool CRkAramList::compareRows(const QTreeWidgetItem& a, const QTreeWidgetItem& b) const
{
    // The watch list's columns are those of the result lists and sort the same way.
    const int column = sortColumn < 0 ? kColumnItemNo : sortColumn;
    return cellLess(column, sjisOf(a, column), sjisOf(b, column));
}

void CRkAramList::showContextMenu(const QPoint& pos)
{
    // The menu is no child of the list: an orderly shutdown may destroy the list while the
    // menu waits for a choice.
    QMenu menu;
    QAction* remove = menu.addAction(platform::toQString(watch_text::kMenuRemoveEntry));
    remove->setData(kCommandRemoveEntry);
    // The note, the chart and the CSV before the ceiling, which stays the menu's last command,
    // where the keyboard finds it with one Up.
    QAction* note = menu.addAction(platform::toQString(watch_text::kMenuEditNote));
    note->setData(kCommandEditNote);
    note->setEnabled(history != nullptr);
    QAction* chart = menu.addAction(platform::toQString(history_ui_text::kMenuPriceChart));
    chart->setData(kCommandPriceChart);
    chart->setEnabled(history != nullptr);
    QAction* csv = menu.addAction(platform::toQString(history_ui_text::kMenuSaveCsv));
    csv->setData(kCommandSaveCsv);
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
    else if (chosen == note)
        editSelectedNote();
    else if (chosen == chart)
        showSelectedChart();
    else if (chosen == csv)
        saveCsvWithDialog(this, [this] { return rowsCsv(); });
}

void CRkAramList::setPictures(pictures::PictureStore& store)
{
    if (listPictures)
        return;
    listPictures = new pictures::ListPictures(
        *this, kColumnPicture, store, settings.ext.showPictures,
        [this](int row) {
            const QTreeWidgetItem* item = topLevelItem(row);
            return item ? sjisOf(*item, kColumnPicture) : std::string();
        },
        [this](int row) {
            const QTreeWidgetItem* item = topLevelItem(row);
            if (!item)
                return QString();
            const QString tip = item->toolTip(kColumnItemName);
            return tip.isEmpty() ? item->text(kColumnItemName)
                                 : item->text(kColumnItemName) + QLatin1Char('\n') + tip;
        });
}

std::string CRkAramList::noteOf(const std::string& itemNo) const
{
    const auto found = notes.find(itemNo);
    return found == notes.end() ? std::string() : found->second;
}

bool CRkAramList::setNote(const std::string& itemNo, const std::string& text)
{
    if (!history || !history->setNote(itemNo, text).ok())
        return false;
    if (text.empty())
        notes.erase(itemNo);
    else
        notes[itemNo] = text;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = topLevelItem(i);
        if (sjisOf(*row, kColumnItemNo) != itemNo)
            continue;
        row->setText(kColumnNote, platform::toQString(text).simplified());
        updateRowTip(*row);
    }
    return true;
}

void CRkAramList::editSelectedNote()
{
    QTreeWidgetItem* mark = selectedRow();
    if (!mark || !history)
        return;
    const std::string itemNo = sjisOf(*mark, kColumnItemNo);
    if (watch.findEntry(itemNo) < 0)
        return;
    // Like the menu, the dialog is no child of the list, which may go while it waits.
    bool accepted = false;
    const QPointer<CRkAramList> self(this);
    const QString text = QInputDialog::getMultiLineText(
        nullptr, platform::toQString(watch_text::kNoteCaption), platform::toQString(watch_text::kNotePrompt),
        platform::toQString(noteOf(itemNo)), &accepted);
    if (!accepted || !self)
        return;
    if (!setNote(itemNo, platform::fromQString(text.trimmed())))
        watch.host().setStatusLine(watch_text::kNoteNotKept);
}

} // namespace pelimo
