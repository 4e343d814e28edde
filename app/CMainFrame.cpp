#include "app/CMainFrame.h"

#include "AppTexts.h"
#include "app/AboutText.h"
#include "app/AlertRouter.h"
#include "app/AppPanes.h"
#include "app/CRkCmdDialog.h"
#include "app/CRkFormView.h"
#include "app/CRkHtmlForm.h"
#include "app/LayoutMemory.h"
#include "app/MainShortcuts.h"
#include "app/SavedSearches.h"
#include "app/ShellWatchHost.h"
#include "history/ui/ArchivePane.h"
#include "itempage/ItemPageAddress.h"
#include "notify/AlarmDelivery.h"
#include "platform/qt/DesktopNotifier.h"
#include "platform/qt/MessageBox.h"
#include "platform/qt/PrivateMessage.h"
#include "platform/qt/QtText.h"
#include "platform/qt/TrayIcon.h"
#include "search/CRkTabCtrl.h"
#include "search/SearchListHost.h"
#include "watch/ui/CRkAramList.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

// The icons live in the static library: without a reference to their registration the linker
// would leave them out of the program.
static void registerIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace pelimo {

namespace {

QString qs(const char* sjis)
{
    return platform::toQString(sjis);
}

} // namespace

QIcon iconResource(int32_t id)
{
    [[maybe_unused]] static const bool registered = (registerIconResources(), true);
    return QIcon(QStringLiteral(":/icons/%1.xpm").arg(id));
}

namespace {

// The top bar is as high as the command bar it holds, so the bar's lower group box is never
// cut off in a font taller than the one its template was drawn for.
constexpr int kTopBarHeightUnits = CRkCmdDialog::kHeightUnits;
// The command bar sits this many pixels down inside the top bar.
constexpr int kCmdBarOffset = 3;
// The splitter's first row: the search tabs or the watch list.
constexpr int kTopRowHeight = 250;

// The status texts of the alarm delivery come from its queue's thread; each is handed to the
// window's thread, where it goes to the status bar while the window is there.
AlarmDelivery::StatusPost statusPostTo(CMainFrame* frame)
{
    return [window = QPointer<CMainFrame>(frame)](const std::string& sjis) {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app,
                [window, sjis] {
                    if (window)
                        platform::sendMessage(window.data(), platform::StatusText{sjis});
                },
                Qt::QueuedConnection);
        }
    };
}

} // namespace

CMainFrame::CMainFrame(EnvSettings& settings, const Endpoints& endpoints, platform::WorkQueue& deliveries)
    : settings(settings), watchHost(std::make_unique<ShellWatchHost>(*this))
{
    setWindowIcon(iconResource(kIconNormal));
    setGeometry(100, 50, 800, 650);
    platform::MessageBox::setTitle(qs(app_text::kNotifierAppName));

    buildMenus();
    buildStatusBar();
    // The tray and the alert router come before the panes, whose alarms they show.
    buildTray();
    alarmDelivery = std::make_unique<AlarmDelivery>(settings, *alerts, deliveries, statusPostTo(this),
                                                    [&endpoints](const std::string& itemNo) {
                                                        ItemInfo item;
                                                        item.ItemNo = itemNo;
                                                        return itemPageAddress(endpoints, item);
                                                    });

    auto* client = new QWidget(this);
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* topBar = new QWidget(client);
    topBar->setObjectName(QStringLiteral("topBar"));
    panes = new QSplitter(Qt::Vertical, client);
    panes->setChildrenCollapsible(false);
    bottomPane = new CRkHtmlForm(settings, endpoints, nullptr);
    topPane = new CRkFormView(settings, endpoints, this, bottomPane, *watchHost, *alarmDelivery, nullptr);
    topPane->setMinimumHeight(10);
    alerts->setPictures(topPane->pictures());
    bottomPane->setMinimumHeight(10);
    panes->addWidget(topPane);
    panes->addWidget(bottomPane);
    // Row 0 starts 250 px high and keeps that height; row 1 takes every change of the window.
    panes->setStretchFactor(0, 0);
    panes->setStretchFactor(1, 1);
    panes->setSizes({kTopRowHeight, 300});

    commandBar = new CRkCmdDialog(settings, topPane, topBar);
    const QRect bar = commandBar->fromDialogUnits(0, 0, CRkCmdDialog::kWidthUnits, kTopBarHeightUnits);
    topBar->setFixedHeight(bar.height() + kCmdBarOffset);
    commandBar->move(0, kCmdBarOffset);
    // A quiet period switched off or shortened in the dialog lets what it held go now.
    connect(commandBar, &CRkCmdDialog::settingsDialogClosed, this,
            [this] { alarmDelivery->releaseIfOver(); });

    column->addWidget(topBar);
    column->addWidget(panes, 1);
    setCentralWidget(client);

    g_panes.formView = topPane;
    g_panes.htmlForm = bottomPane;
    g_panes.cmdBar = commandBar;

    setTrayIcon(kIconNormal);

    // Each pane's first update runs here, once.
    topPane->firstUpdate();
    bottomPane->firstUpdate();
    setWindowTitle(qs(app_text::kMainCaption));
    addMainShortcuts(*this);
    startSavedSearches();
    commandBar->takeFocus();
}

CMainFrame::~CMainFrame()
{
    if (tray != nullptr) {
        tray->remove();
    }
    // The panes go while the watch host they call is still here.
    delete takeCentralWidget();
    savedSearchRuns.reset();
    g_panes = AppPanes{};
}

void CMainFrame::startSavedSearches()
{
    savedSearchRuns = std::make_unique<SavedSearches>(
        *topPane,
        [this](const std::string& sjis) { platform::sendMessage(this, platform::StatusText{sjis}); },
        *alarmDelivery);
    topPane->setSavedTabsHost(savedSearchRuns.get());
    if (CRkAramList* watch = topPane->watchList()) {
        SavedSearches* saved = savedSearchRuns.get();
        watch->watchList().setCycleFollowUp(
            [saved](const CycleAlarms& alarms) { return saved->cycleFollowUp(alarms); });
    }
    savedSearchRuns->start();
}

void CMainFrame::buildMenus()
{
    QMenu* file = menuBar()->addMenu(qs(app_text::kMenuFile));
    file->addSeparator();
    QAction* exit = file->addAction(qs(app_text::kMenuExit));
    exit->setData(kCommandExit);
    connect(exit, &QAction::triggered, this, &CMainFrame::beginShutdown);

    QMenu* help = menuBar()->addMenu(qs(app_text::kMenuHelp));
    QAction* about = help->addAction(qs(app_text::kMenuAbout));
    about->setData(kCommandAbout);
    connect(about, &QAction::triggered, this, &CMainFrame::showAbout);
}

void CMainFrame::buildStatusBar()
{
    messagePane = new QLabel(qs(app_text::kIdleText), this);
    messagePane->setObjectName(QStringLiteral("messagePane"));
    statusBar()->addWidget(messagePane, 1);
    // The key indicator panes; the platform gives no lock-key state, so they stay greyed.
    for (const char* text : {app_text::kIndicatorCaps, app_text::kIndicatorNum, app_text::kIndicatorScroll}) {
        auto* pane = new QLabel(qs(text), this);
        pane->setEnabled(false);
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        statusBar()->addPermanentWidget(pane);
    }
}

void CMainFrame::buildTray()
{
    tray = new platform::TrayIcon(this);
    auto* menu = new QMenu(this);
    QAction* open = menu->addAction(qs(app_text::kTrayOpen));
    open->setData(kCommandOpen);
    connect(open, &QAction::triggered, this, &CMainFrame::restoreWindow);
    menu->addSeparator();
    QAction* quit = menu->addAction(qs(app_text::kTrayQuit));
    quit->setData(kCommandExit);
    connect(quit, &QAction::triggered, this, &CMainFrame::beginShutdown);
    tray->setContextMenu(menu);
    connect(tray, &platform::TrayIcon::doubleClicked, this, &CMainFrame::restoreWindow);

    auto* notifier = new platform::DesktopNotifier(qs(app_text::kNotifierAppName),
                                                   iconResource(kIconNormal).pixmap(128).toImage(),
                                                   qs(app_text::kTrayOpen), this);
    alerts = new AlertRouter(
        *this, qs(app_text::kMainCaption), *tray, *notifier,
        [this](const QString& text) { messagePane->setText(text); },
        [this](const ItemInfo& item) {
            // As a double-click in the watch list does, with the watch list in front.
            restoreWindow();
            if (commandBar->paneMode() != 1) {
                commandBar->alertButton()->click();
            }
            bottomPane->showItem(kOriginWatchList, item);
        });
}

void CMainFrame::setTrayIcon(int32_t iconId)
{
    shownIconId = iconId;
    // The same name and version as the title bar and the about box.
    tray->setIcon(iconResource(iconId), qs(app_text::kMainCaption));
    alerts->setAlarmState(iconId == kIconAlarm);
}

void CMainFrame::showBalloon(const std::string& sjis, const ItemInfo& first, std::string_view titleSjis)
{
    alerts->showAlert(sjis, first, titleSjis);
}

QString CMainFrame::messagePaneText() const
{
    return messagePane->text();
}

void CMainFrame::beginShutdown()
{
    // Kept once, as the user left it, before the tabs begin to close.
    if (closing == 0)
        saveWindowLayout(*this);
    closing = 1;
    // The saved searches' runs end with the lists; nothing of theirs is waited for.
    if (savedSearchRuns != nullptr) {
        savedSearchRuns->shutdown();
    }
    topPane->setStatusLine(app_text::kShutdownNotice);
    if (topPane->tabCtrl() != nullptr) {
        topPane->tabCtrl()->shutdownSearchTabs();
        return;
    }
    requestWatchListExit();
}

void CMainFrame::requestWatchListExit()
{
    if (topPane->watchList() != nullptr) {
        platform::sendMessage(topPane->watchList(), platform::AramExitRequest{});
    } else {
        // The watch list is already gone (a repeated request): nothing is left to wait for.
        platform::postMessage(this, platform::WatchListClosed{});
    }
}

void CMainFrame::onSearchTabsClosed()
{
    if (!isClosing()) {
        return;
    }
    topPane->destroyTabCtrl();
    requestWatchListExit();
}

void CMainFrame::onWatchListClosed()
{
    topPane->destroyWatchList();
    closeAllowed = true;
    close();
    // Hidden in the tray, or behind a modal dialog, the window's close is not the last one
    // Qt waits for: the owner ends the event loop on this signal.
    emit shutdownFinished();
}

bool CMainFrame::event(QEvent* event)
{
    if (platform::messageOf<platform::SearchTabsClosed>(event)) {
        onSearchTabsClosed();
        return true;
    }
    if (platform::messageOf<platform::WatchListClosed>(event)) {
        onWatchListClosed();
        return true;
    }
    if (const auto* message = platform::messageOf<platform::StatusText>(event)) {
        messagePane->setText(platform::toQString(message->text));
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (closeAllowed) {
        if (tray != nullptr) {
            tray->remove();
        }
        event->accept();
        return;
    }
    event->ignore();
    beginShutdown();
}

void CMainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Hidden, the window lives on as the tray icon; without a tray it could not come back.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && platform::TrayIcon::isAvailable()) {
        QTimer::singleShot(0, this, &QWidget::hide);
    }
}

void CMainFrame::restoreWindow()
{
    showNormal();
    raise();
    activateWindow();
}

void CMainFrame::holdHistory(HistoryStore& store)
{
    if (CRkAramList* watch = topPane->watchList())
        watch->watchList().setHistory(&store);
}

void CMainFrame::attachHistory(HistoryStore& store, HistoryReads& reads)
{
    historyStore = &store;
    topPane->setHistory(&store);
    if (CRkAramList* watch = topPane->watchList())
        watch->setHistory(&store, &reads);
    if (savedSearchRuns)
        savedSearchRuns->setHistory(&store);
    if (ArchivePane* archive = topPane->archivePane())
        archive->setHistory(&store, &reads);
}

void CMainFrame::showAbout()
{
    platform::MessageBox::about(this, qs(app_text::kAboutCaption), aboutText(),
                                iconResource(kIconNormal).pixmap(32, 32));
}

} // namespace pelimo
