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
    : settings_(settings), watchHost_(std::make_unique<ShellWatchHost>(*this))
{
    setWindowIcon(iconResource(kIconNormal));
    setGeometry(100, 50, 800, 650);
    platform::MessageBox::setTitle(qs(app_text::kNotifierAppName));

    buildMenus();
    buildStatusBar();
    // The tray and the alert router come before the panes, whose alarms they show.
    buildTray();
    notifier_ = std::make_unique<AlarmDelivery>(settings_, *alerts_, deliveries, statusPostTo(this),
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
    splitter_ = new QSplitter(Qt::Vertical, client);
    splitter_->setChildrenCollapsible(false);
    htmlForm_ = new CRkHtmlForm(settings_, endpoints, nullptr);
    formView_ = new CRkFormView(settings_, endpoints, this, htmlForm_, *watchHost_, *notifier_, nullptr);
    formView_->setMinimumHeight(10);
    alerts_->setPictures(formView_->pictures());
    htmlForm_->setMinimumHeight(10);
    splitter_->addWidget(formView_);
    splitter_->addWidget(htmlForm_);
    // Row 0 starts 250 px high and keeps that height; row 1 takes every change of the window.
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({kTopRowHeight, 300});

    cmdBar_ = new CRkCmdDialog(settings_, formView_, topBar);
    const QRect bar = cmdBar_->fromDialogUnits(0, 0, CRkCmdDialog::kWidthUnits, kTopBarHeightUnits);
    topBar->setFixedHeight(bar.height() + kCmdBarOffset);
    cmdBar_->move(0, kCmdBarOffset);
    // A quiet period switched off or shortened in the dialog lets what it held go now.
    connect(cmdBar_, &CRkCmdDialog::settingsDialogClosed, this, [this] { notifier_->releaseIfOver(); });

    column->addWidget(topBar);
    column->addWidget(splitter_, 1);
    setCentralWidget(client);

    g_panes.formView = formView_;
    g_panes.htmlForm = htmlForm_;
    g_panes.cmdBar = cmdBar_;

    setTrayIcon(kIconNormal);

    // Each pane's first update runs here, once.
    formView_->firstUpdate();
    htmlForm_->firstUpdate();
    setWindowTitle(qs(app_text::kMainCaption));
    addMainShortcuts(*this);
    startSavedSearches();
    cmdBar_->takeFocus();
}

CMainFrame::~CMainFrame()
{
    if (tray_ != nullptr) {
        tray_->remove();
    }
    // The panes go while the watch host they call is still here.
    delete takeCentralWidget();
    savedSearches_.reset();
    g_panes = AppPanes{};
}

void CMainFrame::startSavedSearches()
{
    savedSearches_ = std::make_unique<SavedSearches>(
        *formView_,
        [this](const std::string& sjis) { platform::sendMessage(this, platform::StatusText{sjis}); },
        *notifier_);
    formView_->setSavedTabsHost(savedSearches_.get());
    if (CRkAramList* watch = formView_->watchList()) {
        SavedSearches* saved = savedSearches_.get();
        watch->watchList().setCycleFollowUp(
            [saved](const CycleAlarms& alarms) { return saved->cycleFollowUp(alarms); });
    }
    savedSearches_->start();
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
    messagePane_ = new QLabel(qs(app_text::kIdleText), this);
    messagePane_->setObjectName(QStringLiteral("messagePane"));
    statusBar()->addWidget(messagePane_, 1);
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
    tray_ = new platform::TrayIcon(this);
    auto* menu = new QMenu(this);
    QAction* open = menu->addAction(qs(app_text::kTrayOpen));
    open->setData(kCommandOpen);
    connect(open, &QAction::triggered, this, &CMainFrame::restoreWindow);
    menu->addSeparator();
    QAction* quit = menu->addAction(qs(app_text::kTrayQuit));
    quit->setData(kCommandExit);
    connect(quit, &QAction::triggered, this, &CMainFrame::beginShutdown);
    tray_->setContextMenu(menu);
    connect(tray_, &platform::TrayIcon::doubleClicked, this, &CMainFrame::restoreWindow);

    auto* notifier = new platform::DesktopNotifier(qs(app_text::kNotifierAppName),
                                                   iconResource(kIconNormal).pixmap(128).toImage(),
                                                   qs(app_text::kTrayOpen), this);
    alerts_ = new AlertRouter(
        *this, qs(app_text::kMainCaption), *tray_, *notifier,
        [this](const QString& text) { messagePane_->setText(text); },
        [this](const ItemInfo& item) {
            // As a double-click in the watch list does, with the watch list in front.
            restoreWindow();
            if (cmdBar_->paneMode() != 1) {
                cmdBar_->alertButton()->click();
            }
            htmlForm_->showItem(kOriginWatchList, item);
        });
}

void CMainFrame::setTrayIcon(int32_t iconId)
{
    trayIconId_ = iconId;
    // The same name and version as the title bar and the about box.
    tray_->setIcon(iconResource(iconId), qs(app_text::kMainCaption));
    alerts_->setAlarmState(iconId == kIconAlarm);
}

void CMainFrame::showBalloon(const std::string& sjis, const ItemInfo& first, std::string_view titleSjis)
{
    alerts_->showAlert(sjis, first, titleSjis);
}

QString CMainFrame::messagePaneText() const
{
    return messagePane_->text();
}

void CMainFrame::beginShutdown()
{
    // Kept once, as the user left it, before the tabs begin to close.
    if (closing_ == 0)
        saveWindowLayout(*this);
    closing_ = 1;
    // The saved searches' runs end with the lists; nothing of theirs is waited for.
    if (savedSearches_ != nullptr) {
        savedSearches_->shutdown();
    }
    formView_->setStatusLine(app_text::kShutdownNotice);
    if (formView_->tabCtrl() != nullptr) {
        formView_->tabCtrl()->shutdownSearchTabs();
        return;
    }
    requestWatchListExit();
}

void CMainFrame::requestWatchListExit()
{
    if (formView_->watchList() != nullptr) {
        platform::sendMessage(formView_->watchList(), platform::AramExitRequest{});
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
    formView_->destroyTabCtrl();
    requestWatchListExit();
}

void CMainFrame::onWatchListClosed()
{
    formView_->destroyWatchList();
    closeAllowed_ = true;
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
        messagePane_->setText(platform::toQString(message->text));
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (closeAllowed_) {
        if (tray_ != nullptr) {
            tray_->remove();
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

void CMainFrame::attachHistory(HistoryStore& store)
{
    history_ = &store;
    formView_->setHistory(&store);
    if (CRkAramList* watch = formView_->watchList())
        watch->setHistory(&store);
    if (savedSearches_)
        savedSearches_->setHistory(&store);
    if (ArchivePane* archive = formView_->archivePane())
        archive->setHistory(&store);
}

void CMainFrame::showAbout()
{
    platform::MessageBox::about(this, qs(app_text::kAboutCaption), aboutText(),
                                iconResource(kIconNormal).pixmap(32, 32));
}

} // namespace pelimo
