#include "watch/ui/CRkAramTabCtrl.h"

#include "WatchTexts.h"
#include "itempage/CRkHtmlView.h"
#include "platform/qt/QtText.h"

#include <QMenu>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTabBar>

namespace pelimo {
namespace {

// Pages sit inside the control with these margins, below the tab strip.
constexpr int kMarginLeft = 10;
constexpr int kMarginTop = 25;
constexpr int kMarginRight = 10;
constexpr int kMarginBottom = 5;

} // namespace

CRkAramTabCtrl::CRkAramTabCtrl(const Endpoints& e, QWidget* parent)
    : QWidget(parent), endpoints(e), bar(new QTabBar(this))
{
    setObjectName(QStringLiteral("aramTabs"));
    bar->setExpanding(false);
    bar->setDrawBase(true);
    bar->move(0, 0);
    bar->installEventFilter(this);
    connect(bar, &QTabBar::currentChanged, this, &CRkAramTabCtrl::userSelected);
}

CRkAramTabCtrl::~CRkAramTabCtrl() = default;

QRect CRkAramTabCtrl::pageRect() const
{
    const QRect client = rect();
    return QRect(client.left() + kMarginLeft, client.top() + kMarginTop,
                 client.width() - kMarginLeft - kMarginRight, client.height() - kMarginTop - kMarginBottom);
}

int CRkAramTabCtrl::tabCount() const
{
    return static_cast<int>(pages.size());
}

std::string CRkAramTabCtrl::tabItemNo(int tab) const
{
    return tab >= 0 && tab < tabCount() ? pages[static_cast<size_t>(tab)].itemNo : std::string();
}

CRkHtmlView* CRkAramTabCtrl::page(int tab) const
{
    return tab >= 0 && tab < tabCount() ? pages[static_cast<size_t>(tab)].view : nullptr;
}

int CRkAramTabCtrl::pageId(int tab) const
{
    return tab >= 0 && tab < tabCount() ? pages[static_cast<size_t>(tab)].id : 0;
}

void CRkAramTabCtrl::showOnly(int tab)
{
    for (size_t i = 0; i < pages.size(); ++i) {
        if (static_cast<int>(i) != tab)
            pages[i].view->hide();
    }
    if (CRkHtmlView* v = page(tab)) {
        v->hide();
        v->show();
        v->raise();
    }
}

void CRkAramTabCtrl::openItemPage(ItemInfo item)
{
    for (size_t i = 0; i < pages.size(); ++i) {
        if (pages[i].itemNo == item.ItemNo) {
            selected = static_cast<int>(i);
            const QSignalBlocker block(bar);
            bar->setCurrentIndex(selected);
            showOnly(selected);
            return;
        }
    }
    for (Page& p : pages)
        p.view->hide();
    {
        const QSignalBlocker block(bar);
        const int tab = bar->addTab(platform::toQString(item.ItemNo));
        bar->setCurrentIndex(tab);
        selected = tab;
    }
    bar->resize(width(), bar->sizeHint().height());

    ++pageCounter;
    auto* view = new CRkHtmlView(endpoints, this);
    view->hide();
    const int id = 20000 + pageCounter;
    view->setObjectName(QStringLiteral("alertPage%1").arg(id));
    view->setGeometry(pageRect());
    pages.push_back(Page{item.ItemNo, view, id});
    view->navigateToItem(item);
    view->show();
}

void CRkAramTabCtrl::refreshItemPage(ItemInfo item)
{
    for (const Page& p : pages) {
        if (p.itemNo == item.ItemNo) {
            p.view->reloadPage();
            return;
        }
    }
}

void CRkAramTabCtrl::userSelected(int tab)
{
    if (tab < 0 || tab >= tabCount())
        return;
    // The label names the page, as the strip shows it.
    const std::string label = platform::fromQString(bar->tabText(tab));
    for (size_t i = 0; i < pages.size(); ++i) {
        if (pages[i].itemNo == label) {
            showOnly(static_cast<int>(i));
            break;
        }
    }
    selected = tab;
}

void CRkAramTabCtrl::closeTab(int tab)
{
    if (tab < 0 || tab >= tabCount())
        return;
    delete pages[static_cast<size_t>(tab)].view;
    pages.erase(pages.begin() + tab);
    {
        const QSignalBlocker block(bar);
        bar->removeTab(tab);
    }
    if (pages.empty())
        return;
    if (tab < selected || selected > tabCount() - 1)
        --selected;
    const QSignalBlocker block(bar);
    bar->setCurrentIndex(selected);
    showOnly(selected);
}

void CRkAramTabCtrl::runCommand(int commandId)
{
    if (clicked < 0 || clicked >= tabCount())
        return;
    if (commandId == kCommandReloadTab)
        pages[static_cast<size_t>(clicked)].view->reloadPage();
    else if (commandId == kCommandCloseTab)
        closeTab(clicked);
}

int CRkAramTabCtrl::clickTabAt(const QPoint& pos)
{
    clicked = bar->tabAt(bar->mapFrom(this, pos));
    return clicked;
}

void CRkAramTabCtrl::rightButtonPressed(const QPoint& pos)
{
    clickTabAt(pos);
    QMenu menu(this);
    QAction* reload = menu.addAction(platform::toQString(watch_text::kMenuReloadTab));
    reload->setData(kCommandReloadTab);
    menu.addSeparator();
    QAction* close = menu.addAction(platform::toQString(watch_text::kMenuCloseTab));
    close->setData(kCommandCloseTab);
    QAction* chosen = menu.exec(mapToGlobal(pos));
    if (chosen == reload)
        runCommand(kCommandReloadTab);
    else if (chosen == close)
        runCommand(kCommandCloseTab);
}

void CRkAramTabCtrl::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::RightButton) {
        rightButtonPressed(e->position().toPoint());
        return;
    }
    QWidget::mousePressEvent(e);
}

bool CRkAramTabCtrl::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == bar && e->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(e);
        if (me->button() == Qt::RightButton) {
            rightButtonPressed(bar->mapTo(this, me->position().toPoint()));
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void CRkAramTabCtrl::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    bar->resize(width(), bar->sizeHint().height());
    for (const Page& p : pages) {
        p.view->setGeometry(pageRect());
        p.view->update();
    }
}

} // namespace pelimo
