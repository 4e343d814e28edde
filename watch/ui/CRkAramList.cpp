#include "watch/ui/CRkAramList.h"

#include "WatchTexts.h"
#include "platform/qt/PrivateMessage.h"
#include "platform/qt/QtText.h"
#include "search/ResultOrder.h"
#include "search/SearchListHost.h"
#include "watch/WatchColumns.h"

#include <QHeaderView>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QStyledItemDelegate>

namespace pelimo {
namespace {

// The item number's bytes as the entries hold them, beside each shown text.
constexpr int kSjisRole = Qt::UserRole + 1;

struct ColumnDef {
    const char* header;
    int width;
    Qt::Alignment align;
};

const ColumnDef kColumns[kWatchColumnCount] = {
    {watch_text::kColumnNo, 80, Qt::AlignLeft},       {watch_text::kColumnName, 250, Qt::AlignLeft},
    {watch_text::kColumnPrice, 80, Qt::AlignRight},   {watch_text::kColumnType, 80, Qt::AlignHCenter},
    {watch_text::kColumnItemNum, 80, Qt::AlignRight}, {watch_text::kColumnBidNum, 80, Qt::AlignRight},
    {watch_text::kColumnRemain, 100, Qt::AlignRight},
};

std::string sjisOf(const QTreeWidgetItem& row, int column)
{
    return row.data(column, kSjisRole).toByteArray().toStdString();
}

QColor toQColor(ColourRef c)
{
    return QColor(colourRed(c), colourGreen(c), colourBlue(c));
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
        if (const auto colours = list.rowAlarmColours(index.row())) {
            option->palette.setColor(QPalette::Text, colours->first);
            option->backgroundBrush = colours->second;
        }
    }

private:
    const CRkAramList& list;
};

} // namespace

CRkAramList::CRkAramList(QWidget* parent, const EnvSettings& s, const Endpoints& endpoints,
                         WatchListHost& host, AlertMailer mailer, std::string directory)
    : QTreeWidget(parent), settings(s), watch(s, endpoints, host, std::move(mailer), std::move(directory))
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

    setColumnCount(kWatchColumnCount);
    QStringList headers;
    for (const ColumnDef& c : kColumns)
        headers << platform::toQString(c.header);
    setHeaderLabels(headers);
    header()->setStretchLastSection(false);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    for (int i = 0; i < kWatchColumnCount; ++i) {
        header()->resizeSection(i, kColumns[i].width);
        headerItem()->setTextAlignment(i, kColumns[i].align | Qt::AlignVCenter);
    }

    connect(header(), &QHeaderView::sectionClicked, this, &CRkAramList::sortByColumn);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this] { openSelectedItem(); });
    connect(this, &QWidget::customContextMenuRequested, this, &CRkAramList::showContextMenu);
    connect(&watchTimer, &QTimer::timeout, this, &CRkAramList::onTimer);

    watch.setView(this);
}

CRkAramList::~CRkAramList()
{
    watchTimer.stop();
    watch.setView(nullptr);
    watch.save();
}

void CRkAramList::createAramList()
{
    watch.load();
    restartTimer();
}

void CRkAramList::restartTimer()
{
    watchTimer.stop();
    watchTimer.start(static_cast<int>(watch.timerInterval().count()));
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
    using platform::PrivateMessage;
    if (platform::isPrivateMessage(e, PrivateMessage::aramUpdateNow)) {
        watch.updateNow();
        return true;
    }
    if (platform::isPrivateMessage(e, PrivateMessage::aramExitRequest)) {
        watch.requestExit();
        return true;
    }
    return QTreeWidget::event(e);
}

void CRkAramList::fillRow(QTreeWidgetItem& row, const ItemInfo& info)
{
    for (int c = 0; c < kWatchColumnCount; ++c) {
        const std::string text = watchColumnText(info, c);
        row.setText(c, platform::toQString(text));
        row.setData(c, kSjisRole, QByteArray::fromStdString(text));
        row.setTextAlignment(c, kColumns[c].align | Qt::AlignVCenter);
    }
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
}

void CRkAramList::refreshRow(const AramEntry& entry)
{
    const QByteArray key = QByteArray::fromStdString(entry.info.ItemNo);
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = topLevelItem(i);
        if (row->data(kColNo, kSjisRole).toByteArray() == key) {
            fillRow(*row, entry.info);
            viewport()->update();
            return;
        }
    }
}

void CRkAramList::repaintRows()
{
    viewport()->repaint();
}

std::string CRkAramList::rowItemNo(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? sjisOf(*item, kColNo) : std::string();
}

std::optional<std::pair<QColor, QColor>> CRkAramList::rowAlarmColours(int row) const
{
    const int32_t pos = watch.findEntry(rowItemNo(row));
    if (pos < 0 || !watch.entries()[static_cast<size_t>(pos)].inAlarm() ||
        !isOn(settings.alarmChangesListColour))
        return std::nullopt;
    return std::make_pair(toQColor(settings.alarmTextColour), toQColor(settings.alarmBackColour));
}

void CRkAramList::removeSelectedEntry()
{
    QTreeWidgetItem* mark = currentItem();
    if (!mark)
        return;
    const std::string itemNo = sjisOf(*mark, kColNo);
    delete mark;
    watch.removeEntry(itemNo);
    watch.host().unmarkItem(itemNo);
}

void CRkAramList::openSelectedItem()
{
    if (watch.busy() == 1)
        return;
    QTreeWidgetItem* mark = currentItem();
    if (!mark)
        return;
    const int32_t pos = watch.findEntry(sjisOf(*mark, kColNo));
    if (pos < 0)
        return;
    watch.host().showItem(kOriginWatchList, ItemInfo(watch.entries()[static_cast<size_t>(pos)].info));
}

void CRkAramList::sortByColumn(int column)
{
    if (column < 0 || column >= kWatchColumnCount)
        return;
    sortColumn = column;
    sortDescending[column] = sortDescending[column] == 0 ? 1 : 0;
    header()->setSortIndicatorShown(true);
    sortItems(column, sortDescending[column] == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool CRkAramList::compareRows(const QTreeWidgetItem& a, const QTreeWidgetItem& b) const
{
    // The watch list's columns are those of the result lists and sort the same way.
    const int column = sortColumn < 0 ? kColNo : sortColumn;
    const std::string ta = sjisOf(a, column);
    const std::string tb = sjisOf(b, column);
    if (column == kColPrice || column == kColItemNum || column == kColBidNum || column == kColRemain)
        return numericSortValue(column, ta) < numericSortValue(column, tb);
    return compareSjisText(ta, tb) < 0;
}

void CRkAramList::showContextMenu(const QPoint& pos)
{
    QMenu menu(this);
    QAction* remove = menu.addAction(platform::toQString(watch_text::kMenuRemoveEntry));
    remove->setData(kCommandRemoveEntry);
    if (menu.exec(viewport()->mapToGlobal(pos)) == remove)
        removeSelectedEntry();
}

} // namespace pelimo
