#pragma once

#include "platform/qt/FramePacer.h"
#include "search/ProgressSnapshot.h"
#include "search/TurnRotation.h"
#include "xmlclient/Endpoints.h"
#include "xmlclient/SearchRequest.h"

#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QPushButton;
class QTabBar;

namespace pelimo {
namespace pictures {
class PictureStore;
}

struct EnvSettings;
class CRkItemList;
class SavedTabsHost;
class SearchListHost;

// The search tabs: one result list per search, a status line and a pause/resume button for
// the tab on top. The turns of the lists' further pages follow the rotation's rule. While pages
// stream in, the lists, the status line and the captions are drawn at most once a frame.
class CRkTabCtrl final : public QWidget, private TurnRotationHost {
public:
    static constexpr int kControlId = 113;
    static constexpr int kButtonId = 112;
    static constexpr int kStatusId = 114;
    static constexpr int kCommandCloseTab = 136;
    static constexpr int kCommandSaveSearch = 137;

    // Posts searchTabsClosed to mainFrame when the last list is gone.
    CRkTabCtrl(QWidget* parent, const EnvSettings& settings, const Endpoints& endpoints, SearchListHost& host,
               QObject* mainFrame);
    ~CRkTabCtrl() override;
    CRkTabCtrl(const CRkTabCtrl&) = delete;
    CRkTabCtrl& operator=(const CRkTabCtrl&) = delete;

    // Opens a tab for the search and starts it; returns its list.
    CRkItemList* newSearch(SearchRequest request);
    // Gives the tab popup its save and unsave item; nullptr takes it away.
    void setSavedTabsHost(SavedTabsHost* h) { savedTabs = h; }
    // The listings' pictures the lists opened from now on show; the store outlives the tabs.
    void setPictures(pictures::PictureStore* store) { pictureStore = store; }
    // The caption of the list's tab: the saved mark before it, the count of new listings after.
    void setTabDecoration(const CRkItemList& list, bool saved, int newCount);
    // The tooltip of the list's tab; an empty text removes it.
    void setTabTip(const CRkItemList& list, const std::string& sjis);
    // The tab index of an open list, -1 for none.
    int tabOfList(const CRkItemList* list) const;
    // Takes the bell off the first row with this exhibit number in every list.
    void unmarkItem(const std::string& itemNo);
    // Stops every list at exit; searchTabsClosed follows when the last one is gone.
    void shutdownSearchTabs();
    // Redraws every row of the current tab's list at once.
    void redrawCurrentList();

    // What the user does: a right-button press on a tab (-1 off the tabs) followed by
    // command 136, the pause/resume button, a click on a tab.
    void setMenuTab(int index) { menuTab = index; }
    void closeMenuTab();
    // A tab's close button, and Ctrl+W on the current tab.
    void closeTab(int index);
    // Ctrl+Tab and Ctrl+Shift+Tab: the next or previous tab, round from the last to the first.
    void stepTab(int step);
    // The popup's save or unsave item on the menu tab.
    void toggleMenuTabSaved();
    // The popup's save item as it would show for the menu tab: its text, or empty when hidden.
    QString saveItemText();
    // Pauses or resumes the tab on top, or retries its failed page.
    void pressPauseResume();
    // The tab of an open search with the same keyword and options, -1 for none.
    int tabOfSearch(const SearchRequest& request) const;
    // Shows that tab; a failed one tries its page again.
    void showSearchAgain(int index);
    void selectTab(int index);

    int tabCount() const;
    int currentIndex() const { return current; }
    int menuTabIndex() const { return menuTab; }
    // The list shown by a tab, nullptr for no such tab.
    CRkItemList* listOfTab(int index) const;
    // Every list not yet destroyed, open and closing, in creation order.
    std::vector<CRkItemList*> allLists() const;
    QString tabCaption(int index) const;
    QString statusText() const;
    QString buttonText() const;
    bool isButtonShown() const;
    QTabBar* tabStrip() const { return tabs; }
    QMenu* tabPopup() const { return popup; }

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void giveTurn(PagingSession& session) override;
    // A list's run waits for the listing service: on top, its status line says until when.
    void listWaiting(const CRkItemList& list);
    void searchTabsClosed() override;
    void layOut();
    void refreshStatus(const CRkItemList& list);
    void setStatus(const std::string& text);
    // The status bar says which page of which search failed, and why.
    void tellFailure(const CRkItemList& list);
    void onTabChanged(int index);
    void tellTabShown(int index);
    void prepareSaveItem();
    void onPageEvent(const QPointer<CRkItemList>& sender);
    void onListStopped(const QPointer<CRkItemList>& sender);
    int entryIndexOf(const CRkItemList* list) const;

    const EnvSettings& settings;
    const Endpoints& endpoints;
    SearchListHost& host;
    QPointer<QObject> mainFrame;
    QTabBar* tabs;
    QLabel* status;
    QPushButton* button;
    QMenu* popup;
    QAction* saveItem;
    SavedTabsHost* savedTabs = nullptr;

    // Every list not yet destroyed, open and closing, in creation order; the rotation knows
    // which are open.
    std::vector<QPointer<CRkItemList>> lists;
    // The list of each tab, by tab index: a tab's list and a list's tab are found without
    // counting the open lists before it.
    std::vector<QPointer<CRkItemList>> tabLists;
    TurnRotation rotation;
    platform::FramePacer pacer;
    pictures::PictureStore* pictureStore = nullptr;
    int current = -1;
    int menuTab = -1;
    bool changingTabs = false;
};

} // namespace pelimo
