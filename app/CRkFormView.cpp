#include "app/CRkFormView.h"

#include "AppTexts.h"
#include "app/AppPanes.h"
#include "app/CRkCmdDialog.h"
#include "app/CRkHtmlForm.h"
#include "history/ui/ArchivePane.h"
#include "history/ui/PriceChartWindow.h"
#include "platform/qt/PrivateMessage.h"
#include "platform/qt/QtText.h"
#include "search/CRkTabCtrl.h"
#include "watch/ui/CRkAramList.h"

#include <QLabel>
#include <QPushButton>

namespace pelimo {

CRkFormView::CRkFormView(const EnvSettings& settings, const Endpoints& endpoints, QObject* mainFrame,
                         CRkHtmlForm* itemPane, WatchListHost& watchHost, AlarmNotifier& notifier,
                         QWidget* parent)
    : QWidget(parent), settings_(settings), endpoints_(endpoints), mainFrame_(mainFrame), itemPane_(itemPane),
      watchHost_(watchHost), notifier_(notifier)
{}

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
    updateButton_ = new QPushButton(platform::toQString(app_text::kUpdateButton), this);
    updateButton_->setObjectName(QStringLiteral("updateButton"));
    connect(updateButton_, &QPushButton::clicked, this, &CRkFormView::requestWatchUpdate);
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
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
}

CRkItemList* CRkFormView::startSearch(SearchRequest request)
{
    if (tabCtrl_ == nullptr) {
        tabCtrl_ = new CRkTabCtrl(this, settings_, endpoints_, *this, mainFrame_);
        tabCtrl_->setObjectName(QStringLiteral("searchTabs"));
        tabCtrl_->setSavedTabsHost(savedTabs_);
        tabCtrl_->setGeometry(rect());
        tabCtrl_->show();
    }
    CRkItemList* list = tabCtrl_->newSearch(std::move(request));
    if (g_panes.cmdBar != nullptr) {
        g_panes.cmdBar->takeFocus();
    }
    return list;
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
    if (itemPane_ != nullptr) {
        itemPane_->applyPaneMode(mode);
    }
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
    if (statusLine_ != nullptr) {
        statusLine_->setGeometry(l + 10, bottom - 30, w - 115, 20);
    }
}

} // namespace pelimo
