#include "pictures/qt/ListPictures.h"

#include "pictures/qt/PictureTip.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <algorithm>
#include <chrono>

namespace pelimo::pictures {
namespace {

const int kThumbnail = platform::PictureSizes{}.thumbnail;
// How long the rows stay still before their pictures are asked for, and the longest the asking
// waits while they keep changing.
constexpr std::chrono::milliseconds kSettle{150};
constexpr std::chrono::milliseconds kLongestSettle{1000};

// Draws a row's thumbnail, centred in its cell over the row's background as the list's own
// delegate draws it (its colours, the selection); nothing until the picture is in memory.
class ThumbnailDelegate final : public QStyledItemDelegate {
public:
    ThumbnailDelegate(ListPictures& owner, QAbstractItemView& view)
        : QStyledItemDelegate(&owner), owner(owner), view(view)
    {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (QAbstractItemDelegate* rows = view.itemDelegate(); rows && rows != this)
            rows->paint(painter, option, index);
        else
            QStyledItemDelegate::paint(painter, option, index);
        const QImage image = owner.thumbnailOf(index.row());
        if (image.isNull())
            return;
        QRect target(QPoint(0, 0), image.size());
        target.moveCenter(option.rect.center());
        painter->drawImage(target.topLeft(), image);
    }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return {kThumbnail + 8, kThumbnail + 2};
    }

private:
    ListPictures& owner;
    QAbstractItemView& view;
};

} // namespace

ListPictures::ListPictures(QAbstractItemView& view, int column, PictureStore& store,
                           const int32_t& showSetting, AddressOf addressOf, TipTextOf tipTextOf)
    : QObject(&view), view(view), pictureColumn(column), store(store), storeAlive(&store),
      showSetting(showSetting), addressOf(std::move(addressOf)), tipTextOf(std::move(tipTextOf))
{
    if (auto* table = qobject_cast<QTableView*>(&view))
        plainRowHeight = table->verticalHeader()->defaultSectionSize();
    view.setItemDelegateForColumn(column, new ThumbnailDelegate(*this, view));
    view.viewport()->installEventFilter(this);
    view.installEventFilter(this);
    settleTimer.setSingleShot(true);
    connect(&settleTimer, &QTimer::timeout, this, [this] {
        changingSince.invalidate();
        requestShownRows();
    });
    const auto later = [this] {
        scheduleWhenSettled();
    };
    connect(view.verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        hideTip();
        scheduleRequests();
    });
    if (QAbstractItemModel* model = view.model()) {
        connect(model, &QAbstractItemModel::rowsInserted, this, later);
        connect(model, &QAbstractItemModel::rowsRemoved, this, later);
        connect(model, &QAbstractItemModel::layoutChanged, this, later);
        connect(model, &QAbstractItemModel::modelReset, this, later);
        // A row refreshed by a watch cycle may have learnt its picture's address only now.
        connect(model, &QAbstractItemModel::dataChanged, this, later);
    }
    connect(&store, &PictureStore::pictureReady, this, &ListPictures::pictureArrived);
    shown = showSetting != 1; // applySetting below changes it to the setting
    applySetting();
}

ListPictures::~ListPictures()
{
    if (!storeAlive)
        return;
    store.withdrawAll(this);
    store.withdrawAll(&tipRow);
}

QImage ListPictures::thumbnailOf(int row)
{
    if (!shown || !storeAlive)
        return {};
    const std::string address = addressOf(row);
    return address.empty() ? QImage() : store.held(address, PictureStore::Size::thumbnail);
}

void ListPictures::applySetting()
{
    const bool wanted = showSetting == 1;
    if (wanted == shown || !storeAlive)
        return;
    shown = wanted;
    if (auto* table = qobject_cast<QTableView*>(&view)) {
        table->setColumnHidden(pictureColumn, !shown);
        table->verticalHeader()->setDefaultSectionSize(shown ? std::max(plainRowHeight, kThumbnail + 2)
                                                             : plainRowHeight);
    } else if (auto* tree = qobject_cast<QTreeView*>(&view)) {
        tree->setColumnHidden(pictureColumn, !shown);
        // Uniform rows keep the height they measured first.
        tree->doItemsLayout();
    }
    if (shown)
        scheduleRequests();
    else
        store.withdrawAll(this);
}

void ListPictures::scheduleRequests()
{
    if (requestPending)
        return;
    requestPending = true;
    QTimer::singleShot(0, this, [this] {
        requestPending = false;
        requestShownRows();
    });
}

void ListPictures::scheduleWhenSettled()
{
    // While a search streams in, the rows on screen change with every page: a picture asked for
    // then would be withdrawn or fetched for a row the screen no longer shows (thousands in a
    // long search). What stays on screen is asked for.
    if (!changingSince.isValid())
        changingSince.start();
    if (!settleTimer.isActive() || changingSince.elapsed() < kLongestSettle.count())
        settleTimer.start(kSettle);
}

void ListPictures::requestShownRows()
{
    if (!storeAlive)
        return;
    const QAbstractItemModel* model = view.model();
    const int rows = model ? model->rowCount() : 0;
    if (!shown || !view.isVisible() || rows == 0) {
        store.withdrawAll(this);
        return;
    }
    const int bottom = view.viewport()->height() - 1;
    int first = view.indexAt(QPoint(1, 0)).row();
    int last = view.indexAt(QPoint(1, bottom)).row();
    if (first < 0)
        first = 0;
    if (last < 0)
        last = rows - 1;
    // The rows shown first, then a screen's worth below them, which scrolling shows next.
    const int ahead = std::min(rows - 1, last + (last - first + 1));
    std::vector<std::string> addresses;
    addresses.reserve(static_cast<size_t>(ahead - first + 1));
    for (int row = first; row <= ahead; ++row) {
        std::string address = addressOf(row);
        if (!address.empty())
            addresses.push_back(std::move(address));
    }
    store.showOnly(this, addresses);
}

void ListPictures::pictureArrived(const std::string& address)
{
    if (tip && tip->isVisible() && address == tipAddress)
        tip->setPicture(store.held(address, PictureStore::Size::tooltip));
    if (!shown || !view.isVisible())
        return;
    const int rows = view.model() ? view.model()->rowCount() : 0;
    int first = std::max(0, view.indexAt(QPoint(1, 0)).row());
    int last = view.indexAt(QPoint(1, view.viewport()->height() - 1)).row();
    if (last < 0)
        last = rows - 1;
    for (int row = first; row <= last; ++row) {
        if (addressOf(row) == address)
            view.viewport()->update(view.visualRect(view.model()->index(row, pictureColumn)));
    }
}

bool ListPictures::eventFilter(QObject* watched, QEvent* event)
{
    if (!storeAlive)
        return QObject::eventFilter(watched, event);
    if (watched == view.viewport()) {
        switch (event->type()) {
        case QEvent::Paint:
            // A setting changed on the dialog shows at the list's next repaint, laid out
            // outside the paint.
            if ((showSetting == 1) != shown)
                QTimer::singleShot(0, this, [this] { applySetting(); });
            break;
        case QEvent::ToolTip:
            return showTip(static_cast<const QHelpEvent&>(*event));
        case QEvent::MouseMove:
            if (tipRow >= 0 &&
                view.indexAt(static_cast<QMouseEvent*>(event)->position().toPoint()).row() != tipRow)
                hideTip();
            break;
        case QEvent::Leave:
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
            hideTip();
            break;
        case QEvent::Resize:
            scheduleRequests();
            break;
        default:
            break;
        }
    } else if (watched == &view) {
        if (event->type() == QEvent::Show)
            scheduleRequests();
        else if (event->type() == QEvent::Hide) {
            hideTip();
            store.withdrawAll(this);
        }
    }
    return QObject::eventFilter(watched, event);
}

bool ListPictures::showTip(const QHelpEvent& help)
{
    const QModelIndex index = view.indexAt(help.pos());
    const std::string address = index.isValid() ? addressOf(index.row()) : std::string();
    // Without a picture to show, the row's own tooltip (if any) shows as it always did.
    if (address.empty() || store.hasFailed(address)) {
        hideTip();
        return false;
    }
    if (tip && tip->isVisible() && index.row() == tipRow)
        return true;
    if (!tip)
        tip = new PictureTip(&view);
    QToolTip::hideText();
    store.withdrawAll(&tipRow);
    tipRow = index.row();
    tipAddress = address;
    tip->setText(tipTextOf(tipRow));
    // The text shows at once; the picture joins it when it has come.
    tip->setPicture(store.picture(address, PictureStore::Size::tooltip, &tipRow));
    tip->showNear(help.globalPos());
    return true;
}

void ListPictures::hideTip()
{
    if (tip)
        tip->hide();
    if (tipRow >= 0 && storeAlive)
        store.withdrawAll(&tipRow);
    tipRow = -1;
    tipAddress.clear();
}

} // namespace pelimo::pictures
