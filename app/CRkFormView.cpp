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
    : QWidget(parent), settings(settings), endpoints(endpoints), mainFrame(mainFrame), itemPane(itemPane),
      watchHost(watchHost), notifier(notifier)
{
    pictures::PictureStore::Options options;
    options.diskFolder = pictures::PictureDiskCache::defaultFolder();
    pictureStore = new pictures::PictureStore(std::move(options), this);
}

// The tab control and the watch list end only through the orderly shutdown; one still here
// when the view goes (a start-up that failed half-way) goes with it as its child.
CRkFormView::~CRkFormView() = default;

void CRkFormView::firstUpdate()
{
    if (updated) {
        return;
    }
    updated = true;
    aramList = new CRkAramList(this, settings, endpoints, watchHost, notifier);
    aramList->setObjectName(QStringLiteral("watchList"));
    aramList->createAramList();
    aramList->setPictures(*pictureStore);
    // The history may have opened before the list was made.
    if (history != nullptr)
        aramList->setHistory(history);
    updateCommand = new QPushButton(platform::toQString(app_text::kUpdateButton), this);
    updateCommand->setObjectName(QStringLiteral("updateButton"));
    connect(updateCommand, &QPushButton::clicked, this, &CRkFormView::requestWatchUpdate);
    statusLabel = new QLabel(this);
    statusLabel->setObjectName(QStringLiteral("statusLine"));
    lastUpdate = new QLabel(this);
    lastUpdate->setObjectName(QStringLiteral("lastUpdate"));
    lastUpdate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(aramList, &CRkAramList::passEnded, this, [this] {
        const std::string now =
            platform::fromQString(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
        lastUpdate->setText(platform::toQString(fillText(app_text::kLastUpdate, {now})));
    });
    archiveView = new ArchivePane(
        [frame = mainFrame](const std::string& sjis) {
            platform::sendMessage(frame, platform::StatusText{sjis});
        },
        this);
    archiveView->hide();
    layoutChildren();
    if (aramList != nullptr) {
        aramList->hide();
    }
    updateCommand->hide();
    statusLabel->hide();
    lastUpdate->hide();
}

CRkItemList* CRkFormView::startSearch(SearchRequest request)
{
    if (searchTabs == nullptr) {
        searchTabs = new CRkTabCtrl(this, settings, endpoints, *this, mainFrame);
        searchTabs->setObjectName(QStringLiteral("searchTabs"));
        searchTabs->setSavedTabsHost(savedTabs);
        searchTabs->setPictures(pictureStore);
        searchTabs->setGeometry(rect());
        searchTabs->show();
    }
    CRkItemList* list = searchTabs->newSearch(std::move(request));
    if (list != nullptr) {
        for (size_t i = 0;
             i < resultColumns.size() && static_cast<int>(i) < list->horizontalHeader()->count(); ++i)
            list->setColumnWidth(static_cast<int>(i), resultColumns[i]);
    }
    if (g_panes.cmdBar != nullptr) {
        g_panes.cmdBar->takeFocus();
    }
    return list;
}

CRkItemList* CRkFormView::openSearch(SearchRequest request)
{
    if (searchTabs != nullptr) {
        if (const int index = searchTabs->tabOfSearch(request); index >= 0) {
            searchTabs->showSearchAgain(index);
            if (g_panes.cmdBar != nullptr)
                g_panes.cmdBar->takeFocus();
            return searchTabs->listOfTab(index);
        }
    }
    return startSearch(std::move(request));
}

void CRkFormView::setSavedTabsHost(SavedTabsHost* host)
{
    savedTabs = host;
    if (searchTabs != nullptr) {
        searchTabs->setSavedTabsHost(host);
    }
}

void CRkFormView::redrawLists()
{
    if (searchTabs != nullptr) {
        searchTabs->redrawCurrentList();
    }
    if (aramList != nullptr && !aramList->entries().empty()) {
        aramList->viewport()->repaint();
    }
}

void CRkFormView::applyPaneMode(int32_t mode)
{
    const bool alert = mode == 1;
    const bool archive = mode == 2;
    if (searchTabs != nullptr) {
        searchTabs->setVisible(!alert && !archive);
    }
    if (archiveView != nullptr) {
        archiveView->setVisible(archive);
    }
    if (aramList != nullptr) {
        aramList->setVisible(alert);
    }
    if (updateCommand != nullptr) {
        updateCommand->setVisible(alert);
    }
    if (statusLabel != nullptr) {
        statusLabel->setVisible(alert);
    }
    if (lastUpdate != nullptr) {
        lastUpdate->setVisible(alert);
    }
    if (itemPane != nullptr) {
        itemPane->applyPaneMode(mode);
    }
}

std::vector<int> CRkFormView::resultColumnWidths() const
{
    const CRkItemList* list =
        searchTabs != nullptr ? searchTabs->listOfTab(searchTabs->currentIndex()) : nullptr;
    if (list == nullptr)
        return resultColumns;
    std::vector<int> widths;
    for (int i = 0; i < list->horizontalHeader()->count(); ++i)
        widths.push_back(list->columnWidth(i));
    return widths;
}

QWidget* CRkFormView::shownList() const
{
    if (aramList != nullptr && aramList->isVisible())
        return aramList;
    if (searchTabs != nullptr && searchTabs->isVisible()) {
        if (CRkItemList* list = searchTabs->listOfTab(searchTabs->currentIndex()))
            return list;
    }
    return nullptr;
}

void CRkFormView::updateIfAlertShown()
{
    if (updateCommand != nullptr && updateCommand->isVisible())
        updateCommand->click();
}

void CRkFormView::setStatusLine(const std::string& sjis)
{
    if (statusLabel != nullptr) {
        statusLabel->setText(platform::toQString(sjis));
        pacer.changed(statusLabel);
    }
}

void CRkFormView::restartWatchTimer()
{
    if (aramList != nullptr) {
        aramList->restartTimer();
    }
}

bool CRkFormView::isWatched(const std::string& itemNo) const
{
    return aramList != nullptr && aramList->isWatched(itemNo) == 1;
}

void CRkFormView::addToWatchList(const ItemInfo& item)
{
    if (aramList != nullptr) {
        aramList->addEntry(item);
    }
}

void CRkFormView::addAllToWatchList(const std::vector<ItemInfo>& items)
{
    if (aramList == nullptr)
        return;
    long long added = 0;
    for (const ItemInfo& item : items)
        added += aramList->watchList().addEntry(item) ? 1 : 0;
    std::string text = added > 0 ? fillText(app_text::kAddedToWatchList, {added}) : app_text::kAlreadyWatched;
    // A first listing watched while no alarm would show it: once, where they are turned on.
    if (added > 0 && !alarmHintShown && !anyAlarmActionOn()) {
        alarmHintShown = true;
        text += app_text::kAlarmsAllOff;
    }
    if (mainFrame != nullptr)
        platform::sendMessage(mainFrame, platform::StatusText{text});
}

bool CRkFormView::anyAlarmActionOn() const
{
    return isOn(settings.alarmChangesListColour) || isOn(settings.alarmBalloon) || isOn(settings.alarmMail) ||
           isOn(settings.ext.pushEnabled);
}

void CRkFormView::showItem(int32_t origin, const ItemInfo& item)
{
    if (itemPane != nullptr) {
        itemPane->showItem(origin, item);
    }
}

void CRkFormView::showPriceChart(const ItemInfo& item)
{
    if (history == nullptr)
        return;
    std::optional<int64_t> ceiling;
    if (aramList != nullptr) {
        if (const std::optional<int32_t> limit = aramList->watchList().ceiling(item.ItemNo))
            ceiling = *limit;
    }
    pelimo::showPriceChart(*history, item.ItemNo, item.ItemName, ceiling, window());
}

void CRkFormView::destroyTabCtrl()
{
    delete searchTabs;
    searchTabs = nullptr;
}

void CRkFormView::destroyWatchList()
{
    delete aramList;
    aramList = nullptr;
}

void CRkFormView::requestWatchUpdate()
{
    if (aramList != nullptr) {
        platform::postMessage(aramList, platform::AramUpdateNow{});
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
    if (searchTabs != nullptr) {
        searchTabs->setGeometry(l, t, w, h);
    }
    if (aramList != nullptr) {
        aramList->setGeometry(l, t, w, h - 35);
    }
    if (archiveView != nullptr) {
        archiveView->setGeometry(l, t, w, h);
    }
    if (updateCommand != nullptr) {
        updateCommand->setGeometry(right - 100, bottom - 33, 95, 28);
    }
    // The time of the last update stands at the right end of the status line's row.
    constexpr int kLastUpdateWidth = 130;
    if (statusLabel != nullptr) {
        statusLabel->setGeometry(l + 10, bottom - 30, w - 115 - kLastUpdateWidth, 20);
    }
    if (lastUpdate != nullptr) {
        lastUpdate->setGeometry(right - 105 - kLastUpdateWidth, bottom - 30, kLastUpdateWidth, 20);
    }
}

} // namespace pelimo
