#pragma once

#include "xmlclient/Endpoints.h"
#include "xmlclient/ItemInfo.h"

#include <QWidget>
#include <string>
#include <vector>

class QTabBar;

namespace pelimo {

class CRkHtmlView;

inline constexpr int kAramTabCtrlId = 121;
inline constexpr int kFirstAlertPageId = 20001;
// Commands of the tab's context menu.
inline constexpr int kCommandReloadTab = 147;
inline constexpr int kCommandCloseTab = 136;

// The alert page tabs: one item page per listing opened from the watch list, labelled with
// its item number. Only the selected tab's page is visible.
class CRkAramTabCtrl final : public QWidget {
    Q_OBJECT

public:
    CRkAramTabCtrl(const Endpoints& endpoints, QWidget* parent);
    ~CRkAramTabCtrl() override;
    CRkAramTabCtrl(const CRkAramTabCtrl&) = delete;
    CRkAramTabCtrl& operator=(const CRkAramTabCtrl&) = delete;

    // Brings the listing's tab to the front, or opens a new one and loads its page.
    void openItemPage(ItemInfo item);
    // Reloads the page of the listing's tab, if one is open; the selection stays.
    void refreshItemPage(ItemInfo item);

    // The right button at a point of the control: remembers the tab under it and opens the
    // tab's context menu there.
    void rightButtonPressed(const QPoint& pos);
    // Remembers the tab under a point of the control (-1 for none) for the menu's commands.
    int clickTabAt(const QPoint& pos);
    // A command of the context menu on the tab remembered by the last right-click.
    void runCommand(int commandId);

    int tabCount() const;
    int selectedTab() const { return selected; }
    std::string tabItemNo(int tab) const;
    CRkHtmlView* page(int tab) const;
    int pageId(int tab) const;
    QTabBar* tabBar() const { return bar; }

protected:
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct Page {
        std::string itemNo;
        CRkHtmlView* view = nullptr;
        int id = 0;
    };

    QRect pageRect() const;
    void showOnly(int tab);
    void userSelected(int tab);
    void closeTab(int tab);

    const Endpoints& endpoints;
    QTabBar* bar = nullptr;
    std::vector<Page> pages;
    int pageCounter = 0;
    int clicked = -1;
    int selected = -1;
};

} // namespace pelimo
