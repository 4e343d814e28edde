#pragma once

#include "settings/EnvSettings.h"
#include "xmlclient/Endpoints.h"
#include "xmlclient/ItemInfo.h"

#include <QIcon>
#include <QMainWindow>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class QLabel;
class QSplitter;

namespace pelimo {

namespace platform {
class TrayIcon;
class WorkQueue;
} // namespace platform

class AlarmDelivery;
class AlertRouter;
class CRkCmdDialog;
class CRkFormView;
class CRkHtmlForm;
class HistoryReads;
class HistoryStore;
class SavedSearches;
class ShellWatchHost;

// Command ids of the menus.
inline constexpr int kCommandExit = 115;
inline constexpr int kCommandAbout = 57664;
inline constexpr int kCommandOpen = 145;

// Icon resources: the normal image and the image while watched listings are in alarm.
inline constexpr int32_t kIconNormal = 128;
inline constexpr int32_t kIconAlarm = 150;

// The icon resource 128 or 150.
QIcon iconResource(int32_t id);

// The main window: menus, the command bar on top, the two panes in a splitter, the status bar
// and the tray icon. It runs the orderly shutdown, in which the search tabs and the watch list
// finish their network work before the window goes. The alarms of the watch list and the
// saved searches go out through its notifier, whose transfers run on the delivery queue.
class CMainFrame final : public QMainWindow {
    Q_OBJECT
public:
    // deliveries outlives the window: alarms handed to it may still be on their way after it.
    CMainFrame(EnvSettings& settings, const Endpoints& endpoints, platform::WorkQueue& deliveries);
    ~CMainFrame() override;
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Shows the icon resource 128 or 150 in the tray.
    void setTrayIcon(int32_t iconId);
    // The alert titled with the alert title, where the desktop can show it (AlertRouter); a
    // new one replaces any still on screen. first is the listing it names.
    void showBalloon(const std::string& sjis, const ItemInfo& first, std::string_view titleSjis = {});
    // Exit command, close request or termination signal: asks the busy parts to stop, and the
    // window closes once they have.
    void beginShutdown();
    // Shows the window, raised and out of the tray (the tray's "open", a later start's hand-over).
    void restoreWindow();
    // The price history before it is open: the watch list's passes commit into its hold.
    void holdHistory(HistoryStore& store);
    // The price history, once it is open: the lists record to it from their next pass on, and
    // its long reads run on reads' worker.
    void attachHistory(HistoryStore& store, HistoryReads& reads);
    HistoryStore* history() const { return historyStore; }

    bool isClosing() const { return closing == 1; }
    QString messagePaneText() const;
    CRkFormView* formView() const { return topPane; }
    CRkHtmlForm* htmlForm() const { return bottomPane; }
    CRkCmdDialog* cmdBar() const { return commandBar; }
    SavedSearches* savedSearches() const { return savedSearchRuns.get(); }
    QSplitter* splitter() const { return panes; }
    int32_t trayIconId() const { return shownIconId; }

Q_SIGNALS:
    // The orderly shutdown is over: the watch list has written its file and the window is
    // closed. The event loop's owner ends the loop, whatever windows or dialogs remain.
    void shutdownFinished();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildMenus();
    void buildStatusBar();
    void buildTray();
    void startSavedSearches();
    void requestWatchListExit();
    void onSearchTabsClosed();
    void onWatchListClosed();
    void showAbout();

    EnvSettings& settings;
    std::unique_ptr<ShellWatchHost> watchHost;
    // Before the panes and the saved searches that tell it their alarms, so it outlives them.
    std::unique_ptr<AlarmDelivery> alarmDelivery;
    std::unique_ptr<SavedSearches> savedSearchRuns;
    int32_t closing = 0;
    bool closeAllowed = false;
    QSplitter* panes = nullptr;
    CRkFormView* topPane = nullptr;
    CRkHtmlForm* bottomPane = nullptr;
    CRkCmdDialog* commandBar = nullptr;
    QLabel* messagePane = nullptr;
    platform::TrayIcon* tray = nullptr;
    HistoryStore* historyStore = nullptr;
    AlertRouter* alerts = nullptr;
    int32_t shownIconId = 0;
};

} // namespace pelimo
