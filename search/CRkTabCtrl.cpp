#include "search/CRkTabCtrl.h"

#include "SearchTexts.h"
#include "platform/qt/QtText.h"
#include "platform/text/SjisText.h"
#include "platform/text/TextFill.h"
#include "search/CRkItemList.h"
#include "search/SavedTabsHost.h"
#include "search/SearchMessages.h"
#include "search/exclude/ExcludeWords.h"
#include "xmlclient/ServicePause.h"

#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <algorithm>
#include <cstdio>

namespace pelimo {

using platform::messageOf;

namespace {

constexpr size_t kMaxCaptionBytes = 1023;

// At most kMaxCaptionBytes, never cutting a double-byte character in two.
std::string cutCaption(const std::string& text)
{
    return std::string(platform::cutSjis(text, kMaxCaptionBytes));
}

std::string formatPages(const char* format, int32_t currentPage, int32_t totalPages)
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, currentPage, totalPages);
    return buffer;
}

int stateNumber(ListState state)
{
    return static_cast<int>(state);
}

} // namespace

CRkTabCtrl::CRkTabCtrl(QWidget* parent, const EnvSettings& settings, const Endpoints& endpoints,
                       SearchListHost& host, QObject* mainFrame)
    : QWidget(parent), settings(settings), endpoints(endpoints), host(host), mainFrame(mainFrame),
      tabs(new QTabBar(this)), status(new QLabel(this)), button(new QPushButton(this)),
      popup(new QMenu(this)), saveItem(nullptr), rotation(*this)
{
    setObjectName(QStringLiteral("searchTabs"));
    tabs->setObjectName(QStringLiteral("tabStrip"));
    tabs->setExpanding(false);
    tabs->setDrawBase(true);
    tabs->installEventFilter(this);
    tabs->setTabsClosable(true);
    connect(tabs, &QTabBar::tabCloseRequested, this, [this](int index) { closeTab(index); });
    status->setObjectName(QStringLiteral("statusLine%1").arg(kStatusId));
    status->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    button->setObjectName(QStringLiteral("pauseButton%1").arg(kButtonId));
    button->setText(platform::toQString(searchtext::kPause));
    button->show();

    QAction* close = popup->addAction(platform::toQString(searchtext::kCloseTab));
    close->setData(kCommandCloseTab);
    connect(close, &QAction::triggered, this, [this] { closeMenuTab(); });
    saveItem = popup->addAction(platform::toQString(searchtext::kSaveSearch));
    saveItem->setData(kCommandSaveSearch);
    saveItem->setVisible(false);
    connect(saveItem, &QAction::triggered, this, [this] { toggleMenuTabSaved(); });
    // A click on the tab already on top shows it to the user as well.
    connect(tabs, &QTabBar::tabBarClicked, this, [this](int index) {
        if (index >= 0 && index == current)
            tellTabShown(index);
    });
    connect(button, &QPushButton::clicked, this, [this] { pressPauseResume(); });
    connect(tabs, &QTabBar::currentChanged, this, [this](int index) { onTabChanged(index); });
    layOut();
}

CRkTabCtrl::~CRkTabCtrl() = default;

int CRkTabCtrl::tabCount() const
{
    return tabs->count();
}

CRkItemList* CRkTabCtrl::listOfTab(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= tabLists.size())
        return nullptr;
    return tabLists[static_cast<size_t>(index)];
}

std::vector<CRkItemList*> CRkTabCtrl::allLists() const
{
    std::vector<CRkItemList*> out;
    for (CRkItemList* list : lists) {
        if (list)
            out.push_back(list);
    }
    return out;
}

QString CRkTabCtrl::tabCaption(int index) const
{
    QString text = tabs->tabText(index);
    return text.replace(QLatin1String("&&"), QLatin1String("&"));
}

QString CRkTabCtrl::statusText() const
{
    return status->text();
}

QString CRkTabCtrl::buttonText() const
{
    return button->text();
}

bool CRkTabCtrl::isButtonShown() const
{
    return !button->isHidden();
}

int CRkTabCtrl::entryIndexOf(const CRkItemList* list) const
{
    for (size_t i = 0; i < lists.size(); ++i) {
        if (lists[i] == list)
            return static_cast<int>(i);
    }
    return -1;
}

CRkItemList* CRkTabCtrl::newSearch(SearchRequest request)
{
    const std::string caption =
        cutCaption(request.lotNumberMode == 1 ? searchtext::kLotNumberCaption + request.text : request.text);
    changingTabs = true;
    // The tab strip reads '&' as a shortcut mark; a keyword shows as typed.
    QString shown = platform::toQString(caption);
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    const int index = tabs->addTab(shown);
    if (!request.excludeWords.empty()) {
        // Rich text around escaped words, so that no word is taken for markup.
        const QString tip = platform::toQString(searchtext::kExcludeTip + request.excludeWords);
        tabs->setTabToolTip(index,
                            QStringLiteral("<p style='white-space:pre'>%1</p>").arg(tip.toHtmlEscaped()));
    }
    auto* list = new CRkItemList(this, CRkItemList::kFirstControlId + index, settings, endpoints, host);
    list->setFramePacer(pacer);
    if (pictureStore)
        list->setPictures(*pictureStore);
    list->setCaption(caption);
    list->setSearch(request);
    lists.push_back(list);
    tabLists.insert(tabLists.begin() + index, list);
    rotation.add(list->paging());
    tabs->setCurrentIndex(index);
    changingTabs = false;
    button->setText(platform::toQString(searchtext::kPause));
    button->show();
    // The line spoke for the tab shown before; the new one has nothing to say yet.
    setStatus({});

    if (CRkItemList* previous = listOfTab(current); previous && previous != list)
        previous->hide();
    current = index;
    list->show();
    layOut();
    platform::postMessage(list, StartPaging{std::move(request)});
    return list;
}

int CRkTabCtrl::tabOfList(const CRkItemList* list) const
{
    if (list == nullptr)
        return -1;
    const auto it = std::find(tabLists.begin(), tabLists.end(), list);
    return it == tabLists.end() ? -1 : static_cast<int>(it - tabLists.begin());
}

void CRkTabCtrl::setTabDecoration(const CRkItemList& list, bool saved, int newCount)
{
    const int index = tabOfList(&list);
    if (index < 0)
        return;
    std::string text = saved ? std::string(searchtext::kSavedMark) + list.caption() : list.caption();
    if (newCount > 0) {
        char count[64];
        std::snprintf(count, sizeof count, searchtext::kNewCount, newCount);
        text += count;
    }
    QString shown = platform::toQString(text);
    shown.replace(QLatin1Char('&'), QLatin1String("&&"));
    if (tabs->tabText(index) == shown)
        return;
    tabs->setTabText(index, shown);
    pacer.changed(tabs);
}

void CRkTabCtrl::setTabTip(const CRkItemList& list, const std::string& sjis)
{
    if (const int index = tabOfList(&list); index >= 0)
        tabs->setTabToolTip(index, platform::toQString(sjis));
}

void CRkTabCtrl::prepareSaveItem()
{
    CRkItemList* list = listOfTab(menuTab);
    if (!savedTabs || !list) {
        saveItem->setVisible(false);
        return;
    }
    saveItem->setText(
        platform::toQString(savedTabs->isSaved(*list) ? searchtext::kUnsaveSearch : searchtext::kSaveSearch));
    saveItem->setVisible(true);
}

QString CRkTabCtrl::saveItemText()
{
    prepareSaveItem();
    return saveItem->isVisible() ? saveItem->text() : QString();
}

void CRkTabCtrl::toggleMenuTabSaved()
{
    if (CRkItemList* list = listOfTab(menuTab); list && savedTabs)
        savedTabs->toggleSaved(*list);
}

void CRkTabCtrl::tellTabShown(int index)
{
    if (CRkItemList* list = listOfTab(index); list && savedTabs)
        savedTabs->tabShown(*list);
}

void CRkTabCtrl::unmarkItem(const std::string& itemNo)
{
    for (CRkItemList* list : lists) {
        if (list)
            list->clearWatchedMark(itemNo);
    }
}

void CRkTabCtrl::shutdownSearchTabs()
{
    setStatus(searchtext::kStatusShutdown);
    if (lists.empty()) {
        searchTabsClosed();
        return;
    }
    const std::vector<QPointer<CRkItemList>> targets = lists;
    for (auto it = targets.rbegin(); it != targets.rend(); ++it) {
        if (*it)
            platform::sendMessage(*it, StopList{});
    }
}

void CRkTabCtrl::redrawCurrentList()
{
    if (CRkItemList* list = listOfTab(current))
        list->viewport()->repaint();
}

void CRkTabCtrl::closeMenuTab()
{
    const int index = menuTab;
    CRkItemList* list = listOfTab(index);
    if (!list)
        return;
    const QPointer<CRkItemList> guard(list);
    rotation.markClosing(list->paging());
    platform::sendMessage(list, StopList{});
    if (guard)
        guard->hide();

    changingTabs = true;
    tabs->removeTab(index);
    tabLists.erase(tabLists.begin() + index);
    changingTabs = false;
    menuTab = -1;

    if (tabs->count() == 0) {
        current = -1;
        button->hide();
        setStatus({});
        return;
    }
    const bool shownClosed = index == current;
    if (index < current || current > tabs->count() - 1)
        --current;
    changingTabs = true;
    tabs->setCurrentIndex(current);
    changingTabs = false;
    if (CRkItemList* shown = listOfTab(current)) {
        shown->show();
        // The line spoke for the tab just closed; it now speaks for the one shown.
        if (shownClosed)
            refreshStatus(*shown);
    }
}

void CRkTabCtrl::closeTab(int index)
{
    menuTab = index;
    closeMenuTab();
}

void CRkTabCtrl::stepTab(int step)
{
    const int count = tabs->count();
    if (count < 2 || current < 0)
        return;
    selectTab(((current + step) % count + count) % count);
}

void CRkTabCtrl::pressPauseResume()
{
    CRkItemList* list = listOfTab(current);
    if (!list)
        return;
    const ListState state = list->progress().state;
    if (stateNumber(state) <= stateNumber(ListState::PageDone))
        platform::postMessage(list, PauseLoading{});
    else if (state == ListState::Paused || state == ListState::Failed)
        platform::postMessage(list, LoadNextPage{});
}

int CRkTabCtrl::tabOfSearch(const SearchRequest& request) const
{
    for (int i = 0; i < tabs->count(); ++i) {
        const CRkItemList* list = listOfTab(i);
        if (list == nullptr || list->isClosing())
            continue;
        const SearchRequest& open = list->search();
        if (open.text == request.text && open.auctionTypes == request.auctionTypes &&
            open.priceLow == request.priceLow && open.priceHigh == request.priceHigh &&
            open.lotNumberMode == request.lotNumberMode &&
            (open.excludeWords == request.excludeWords ||
             ExcludeWords(open.excludeWords) == ExcludeWords(request.excludeWords)))
            return i;
    }
    return -1;
}

void CRkTabCtrl::showSearchAgain(int index)
{
    selectTab(index);
    // Asked for again, a search that failed tries its page once more.
    if (CRkItemList* list = listOfTab(index); list && list->progress().state == ListState::Failed)
        platform::postMessage(list, LoadNextPage{});
}

void CRkTabCtrl::selectTab(int index)
{
    if (index < 0 || index >= tabs->count())
        return;
    if (index == tabs->currentIndex())
        onTabChanged(index);
    else
        tabs->setCurrentIndex(index);
}

void CRkTabCtrl::onTabChanged(int index)
{
    if (changingTabs || index < 0)
        return;
    if (CRkItemList* previous = listOfTab(current))
        previous->hide();
    current = index;
    if (CRkItemList* list = listOfTab(current)) {
        list->show();
        refreshStatus(*list);
        tellTabShown(current);
    }
}

void CRkTabCtrl::tellFailure(const CRkItemList& list)
{
    const ProgressSnapshot& p = list.progress();
    const char* why = searchtext::kFailUnreachable;
    if (p.failure == PageFailure::timedOut)
        why = searchtext::kFailTimedOut;
    else if (p.failure == PageFailure::unreadable)
        why = searchtext::kFailUnreadable;
    const long long page = list.request().page; // the page the failed run asked for
    const std::string text = fillText(searchtext::kPageFailed,
                                      {std::string_view(list.request().text), page, std::string_view(why)});
    if (mainFrame)
        platform::sendMessage(mainFrame.data(), platform::StatusText{text});
}

void CRkTabCtrl::setStatus(const std::string& text)
{
    const QString shown = platform::toQString(text);
    if (status->text() == shown)
        return;
    status->setText(shown);
    pacer.changed(status);
}

void CRkTabCtrl::refreshStatus(const CRkItemList& list)
{
    const ProgressSnapshot& p = list.progress();
    // After the page count, how many listings the exclude words left out so far.
    const auto setStatus = [this, &p](const std::string& text) {
        if (p.excluded <= 0 || text.empty())
            return this->setStatus(text);
        char excluded[64];
        std::snprintf(excluded, sizeof excluded, searchtext::kStatusExcluded, p.excluded);
        this->setStatus(text + excluded);
    };
    switch (p.state) {
    case ListState::Filling:
    case ListState::PageDone:
        setStatus(formatPages(searchtext::kStatusLoading, p.currentPage, p.totalPages));
        button->setText(platform::toQString(searchtext::kPause));
        button->show();
        break;
    case ListState::Paused:
        setStatus(formatPages(searchtext::kStatusPaused, p.currentPage, p.totalPages));
        button->setText(platform::toQString(searchtext::kResume));
        button->show();
        break;
    case ListState::Failed:
        setStatus(formatPages(searchtext::kStatusError, p.currentPage, p.totalPages));
        button->setText(platform::toQString(searchtext::kRetry));
        button->show();
        break;
    case ListState::Complete:
        if (p.totalPages == 0)
            setStatus(searchtext::kStatusNoHits);
        else
            setStatus(formatPages(searchtext::kStatusComplete, p.currentPage, p.totalPages));
        button->hide();
        break;
    case ListState::Loading:
        setStatus(p.serviceResumesAt ? servicePauseStatus(*p.serviceResumesAt) : std::string());
        break;
    case ListState::Idle:
    case ListState::Stopping:
    case ListState::Stopped:
        setStatus({});
        break;
    }
}

void CRkTabCtrl::giveTurn(PagingSession& session)
{
    for (CRkItemList* list : lists) {
        if (list && &list->paging() == &session) {
            platform::postMessage(list, LoadNextPage{&rotation});
            return;
        }
    }
}

void CRkTabCtrl::listWaiting(const CRkItemList& list)
{
    if (&list == listOfTab(current))
        refreshStatus(list);
}

void CRkTabCtrl::searchTabsClosed()
{
    if (mainFrame)
        platform::postMessage(mainFrame, platform::SearchTabsClosed{});
}

void CRkTabCtrl::onPageEvent(const QPointer<CRkItemList>& sender)
{
    if (!sender || entryIndexOf(sender) < 0)
        return;
    const ListState state = sender->progress().state;
    if (state == ListState::Stopping || state == ListState::Stopped)
        return;
    if (sender == listOfTab(current))
        refreshStatus(*sender);
    if (state == ListState::Failed)
        tellFailure(*sender);
    rotation.pageEvent(sender->paging());
}

void CRkTabCtrl::onListStopped(const QPointer<CRkItemList>& sender)
{
    if (!sender)
        return;
    const int entry = entryIndexOf(sender);
    if (entry < 0)
        return;
    lists.erase(lists.begin() + entry);
    sender->hide();
    sender->deleteLater();
    // Its turn passes on; the last list gone posts searchTabsClosed.
    rotation.remove(sender->paging());
}

bool CRkTabCtrl::event(QEvent* e)
{
    if (const auto* m = messageOf<PageEvent>(e)) {
        onPageEvent(m->list);
        return true;
    }
    if (const auto* m = messageOf<ListStopped>(e)) {
        onListStopped(m->list);
        return true;
    }
    if (const auto* m = messageOf<ListWaiting>(e)) {
        if (m->list)
            listWaiting(*m->list);
        return true;
    }
    return QWidget::event(e);
}

bool CRkTabCtrl::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == tabs && e->type() == QEvent::MouseButtonPress) {
        auto* press = static_cast<QMouseEvent*>(e);
        if (press->button() == Qt::RightButton) {
            menuTab = tabs->tabAt(press->position().toPoint());
            prepareSaveItem();
            popup->popup(press->globalPosition().toPoint());
        }
    }
    return QWidget::eventFilter(watched, e);
}

void CRkTabCtrl::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    layOut();
}

void CRkTabCtrl::layOut()
{
    const QRect r = rect();
    tabs->setGeometry(r.left(), r.top(), r.width(), 24);
    for (CRkItemList* list : lists) {
        if (list)
            list->setGeometry(r.left() + 10, r.top() + 25, std::max(0, r.width() - 20),
                              std::max(0, r.height() - 60));
    }
    const int right = r.left() + r.width();
    const int bottom = r.top() + r.height();
    status->setGeometry(right - 500, bottom - 30, 395, 20);
    button->setGeometry(right - 100, bottom - 33, 95, 28);
}

} // namespace pelimo
