#include "app/CRkFormView.h"

#include "AppTexts.h"
#include "app/AppPanes.h"
#include "app/CRkCmdDialog.h"
#include "app/CRkHtmlForm.h"
#include "history/ui/ArchivePane.h"
#include "history/ui/PriceChartWindow.h"
#include "pictures/qt/PictureStore.h"
#include "platform/qt/PrivateMessage.h"
#include "platform/qt/QtText.h"
#include "platform/text/TextFill.h"
#include "search/CRkItemList.h"
#include "search/CRkTabCtrl.h"
#include "watch/ui/CRkAramList.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTime>

namespace pelimo {

CRkFormView::CRkFormView(const EnvSettings& settings, const Endpoints& endpoints, QObject* mainFrame,
                         CRkHtmlForm* itemPane, WatchListHost& watchHost, AlarmNotifier& notifier,
                         QWidget* parent)
    : QWidget(parent), settings_(settings), endpoints_(endpoints), mainFrame_(mainFrame), itemPane_(itemPane),
      watchHost_(watchHost), notifier_(notifier)
{
    pictures::PictureStore::Options options;
    options.diskFolder = pictures::PictureDiskCache::defaultFolder();
    pictures_ = new pictures::PictureStore(std::move(options), this);
}

// The tab control and the watch list end only through the orderly shutdown; one still here
// when the view goes (a start-up that failed half-way) goes with it as its child.
CRkFormView::~CRkFormView() = default;

void CRkFormView::firstUpdate()
{
    if (updated_) {
        return;
    }
    updated_ = true;
    watchList_ = new CRkAramList(this, settings_, endpoints_, watchHost_, notifier_);
    watchList_->setObjectName(QStringLiteral("watchList"));
    watchList_->createAramList();
    watchList_->setPictures(*pictures_);
    // The history may have opened before the list was made.
    if (history_ != nullptr)
        watchList_->setHistory(history_);
    updateButton_ = new QPushButton(platform::toQString(app_text::kUpdateButton), this);
    updateButton_->setObjectName(QStringLiteral("updateButton"));
    connect(updateButton_, &QPushButton::clicked, this, &CRkFormView::requestWatchUpdate);
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    lastUpdate_ = new QLabel(this);
    lastUpdate_->setObjectName(QStringLiteral("lastUpdate"));
    lastUpdate_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(watchList_, &CRkAramList::passEnded, this, [this] {
        const std::string now =
            platform::fromQString(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
        lastUpdate_->setText(platform::toQString(fillText(app_text::kLastUpdate, {now})));
    });
    archivePane_ = new ArchivePane(
        [frame = mainFrame_](const std::string& sjis) {
            platform::sendMessage(frame, platform::StatusText{sjis});
        },
        this);
    archivePane_->hide();
    layoutChildren();
    if (watchList_ != nullptr) {
        watchList_->hide();
    }
    updateButton_->hide();
    statusLine_->hide();
    lastUpdate_->hide();
}

CRkItemList* CRkFormView::startSearch(SearchRequest request)
{
    if (tabCtrl_ == nullptr) {
        tabCtrl_ = new CRkTabCtrl(this, settings_, endpoints_, *this, mainFrame_);
        tabCtrl_->setObjectName(QStringLiteral("searchTabs"));
        tabCtrl_->setSavedTabsHost(savedTabs_);
        tabCtrl_->setPictures(pictures_);
        tabCtrl_->setGeometry(rect());
        tabCtrl_->show();
    }
    CRkItemList* list = tabCtrl_->newSearch(std::move(request));
    if (list != nullptr) {
        for (size_t i = 0;
             i < resultColumns_.size() && static_cast<int>(i) < list->horizontalHeader()->count(); ++i)
            list->setColumnWidth(static_cast<int>(i), resultColumns_[i]);
    }
    if (g_panes.cmdBar != nullptr) {
        g_panes.cmdBar->takeFocus();
    }
    return list;
}

CRkItemList* CRkFormView::openSearch(SearchRequest request)
{
    if (tabCtrl_ != nullptr) {
        if (const int index = tabCtrl_->tabOfSearch(request); index >= 0) {
            tabCtrl_->showSearchAgain(index);
            if (g_panes.cmdBar != nullptr)
                g_panes.cmdBar->takeFocus();
            return tabCtrl_->listOfTab(index);
        }
    }
    return startSearch(std::move(request));
}

void CRkFormView::setSavedTabsHost(SavedTabsHost* host)
{
    savedTabs_ = host;
    if (tabCtrl_ != nullptr) {
        tabCtrl_->setSavedTabsHost(host);
    }
}

void CRkFormView::redrawLists()
{
    if (tabCtrl_ != nullptr) {
        tabCtrl_->redrawCurrentList();
    }
    if (watchList_ != nullptr && !watchList_->entries().empty()) {
        watchList_->viewport()->repaint();
    }
}

void CRkFormView::applyPaneMode(int32_t mode)
{
    const bool alert = mode == 1;
    const bool archive = mode == 2;
    if (tabCtrl_ != nullptr) {
        tabCtrl_->setVisible(!alert && !archive);
    }
    if (archivePane_ != nullptr) {
        archivePane_->setVisible(archive);
    }
    if (watchList_ != nullptr) {
        watchList_->setVisible(alert);
    }
    if (updateButton_ != nullptr) {
        updateButton_->setVisible(alert);
    }
    if (statusLine_ != nullptr) {
        statusLine_->setVisible(alert);
    }
    if (lastUpdate_ != nullptr) {
        lastUpdate_->setVisible(alert);
    }
    if (itemPane_ != nullptr) {
        itemPane_->applyPaneMode(mode);
    }
}

std::vector<int> CRkFormView::resultColumnWidths() const
{
    const CRkItemList* list = tabCtrl_ != nullptr ? tabCtrl_->listOfTab(tabCtrl_->currentIndex()) : nullptr;
    if (list == nullptr)
        return resultColumns_;
    std::vector<int> widths;
    for (int i = 0; i < list->horizontalHeader()->count(); ++i)
        widths.push_back(list->columnWidth(i));
    return widths;
}

QWidget* CRkFormView::shownList() const
{
    if (watchList_ != nullptr && watchList_->isVisible())
        return watchList_;
    if (tabCtrl_ != nullptr && tabCtrl_->isVisible()) {
        if (CRkItemList* list = tabCtrl_->listOfTab(tabCtrl_->currentIndex()))
            return list;
    }
    return nullptr;
}

void CRkFormView::updateIfAlertShown()
{
    if (updateButton_ != nullptr && updateButton_->isVisible())
        updateButton_->click();
}

void CRkFormView::setStatusLine(const std::string& sjis)
{
    if (statusLine_ != nullptr) {
        statusLine_->setText(platform::toQString(sjis));
        pacer_.changed(statusLine_);
    }
}

void CRkFormView::restartWatchTimer()
{
    if (watchList_ != nullptr) {
        watchList_->restartTimer();
    }
}

bool CRkFormView::isWatched(const std::string& itemNo) const
{
    return watchList_ != nullptr && watchList_->isWatched(itemNo) == 1;
}

void CRkFormView::addToWatchList(const ItemInfo& item)
{
    if (watchList_ != nullptr) {
        watchList_->addEntry(item);
    }
}

void CRkFormView::addAllToWatchList(const std::vector<ItemInfo>& items)
{
    if (watchList_ == nullptr)
        return;
    long long added = 0;
    for (const ItemInfo& item : items)
        added += watchList_->watchList().addEntry(item) ? 1 : 0;
    std::string text = added > 0 ? fillText(app_text::kAddedToWatchList, {added}) : app_text::kAlreadyWatched;
    // A first listing watched while no alarm would show it: once, where they are turned on.
    if (added > 0 && !alarmHintShown_ && !anyAlarmActionOn()) {
        alarmHintShown_ = true;
        text += app_text::kAlarmsAllOff;
    }
    if (mainFrame_ != nullptr)
        platform::sendMessage(mainFrame_, platform::StatusText{text});
}

bool CRkFormView::anyAlarmActionOn() const
{
    return isOn(settings_.alarmChangesListColour) || isOn(settings_.alarmBalloon) ||
           isOn(settings_.alarmMail) || isOn(settings_.ext.pushEnabled);
}

void CRkFormView::showItem(int32_t origin, const ItemInfo& item)
{
    if (itemPane_ != nullptr) {
        itemPane_->showItem(origin, item);
    }
}

void CRkFormView::showPriceChart(const ItemInfo& item)
{
    if (history_ == nullptr)
        return;
    std::optional<int64_t> ceiling;
    if (watchList_ != nullptr) {
        if (const std::optional<int32_t> limit = watchList_->watchList().ceiling(item.ItemNo))
            ceiling = *limit;
    }
    pelimo::showPriceChart(*history_, item.ItemNo, item.ItemName, ceiling, window());
}

void CRkFormView::destroyTabCtrl()
{
    delete tabCtrl_;
    tabCtrl_ = nullptr;
}

void CRkFormView::destroyWatchList()
{
    delete watchList_;
    watchList_ = nullptr;
}

void CRkFormView::requestWatchUpdate()
{
    if (watchList_ != nullptr) {
        platform::postMessage(watchList_, platform::AramUpdateNow{});
    }
}

void CRkFormView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void CRkFormView::layoutChildren()
{
    const QRect r = rect();
    const int l = r.left();
    const int t = r.top();
    const int w = r.width();
    const int h = r.height();
    const int right = l + w;
    const int bottom = t + h;
    if (tabCtrl_ != nullptr) {
        tabCtrl_->setGeometry(l, t, w, h);
    }
    if (watchList_ != nullptr) {
        watchList_->setGeometry(l, t, w, h - 35);
    }
    if (archivePane_ != nullptr) {
        archivePane_->setGeometry(l, t, w, h);
    }
    if (updateButton_ != nullptr) {
        updateButton_->setGeometry(right - 100, bottom - 33, 95, 28);
    }
    // The time of the last update stands at the right end of the status line's row.
    constexpr int kLastUpdateWidth = 130;
    if (statusLine_ != nullptr) {
        statusLine_->setGeometry(l + 10, bottom - 30, w - 115 - kLastUpdateWidth, 20);
    }
    if (lastUpdate_ != nullptr) {
        lastUpdate_->setGeometry(right - 105 - kLastUpdateWidth, bottom - 30, kLastUpdateWidth, 20);
    }
}

} // namespace pelimo
