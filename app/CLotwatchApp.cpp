#include "app/CLotwatchApp.h"

#include "AppTexts.h"
#include "app/CMainFrame.h"
#include "app/CRkCmdDialog.h"
#include "app/LayoutMemory.h"
#include "history/HistoryFile.h"
#include "history/HistoryReads.h"
#include "history/HistoryStatus.h"
#include "history/HistoryStore.h"
#include "history/ui/WindowThreadDelivery.h"
#include "platform/qt/PrivateMessage.h"
#include "platform/qt/TerminationSignals.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <chrono>

namespace pelimo {
namespace {

// How long the alarms still on their way at exit may take; whatever is left then is dropped.
constexpr std::chrono::seconds kExitDeliveryGrace{3};

} // namespace

CLotwatchApp::CLotwatchApp() = default;

CLotwatchApp::CLotwatchApp(Endpoints endpoints) : endpoints_(endpoints), fixedEndpoints_(std::move(endpoints))
{}

CLotwatchApp::~CLotwatchApp()
{
    // The window goes first: its watch list writes its own file as it is destroyed. Every file
    // is written before the alarms still on their way get their moment.
    signals_.reset();
    mainFrame_.reset();
    historyReads_.reset();
    historyOpening_.finish(std::chrono::seconds(0));
    saveSettings(settings_);
    deliveries_.finish(kExitDeliveryGrace);
}

bool CLotwatchApp::initInstance()
{
    // Heard first, before any file is read: a signal while the window is being built waits for
    // it and then ends the run in order.
    signals_ = std::make_unique<platform::TerminationSignals>(nullptr);
    QObject::connect(signals_.get(), &platform::TerminationSignals::terminationRequested, signals_.get(),
                     [this] {
                         if (mainFrame_)
                             mainFrame_->beginShutdown();
                         else
                             shutdownRequested_ = true;
                     });
    loadSettings(settings_);
    refreshEndpoints();
    mainFrame_ = std::make_unique<CMainFrame>(settings_, endpoints_, deliveries_);
    if (shutdownRequested_)
        QTimer::singleShot(0, mainFrame_.get(), &CMainFrame::beginShutdown);
    QObject::connect(mainFrame_->cmdBar(), &CRkCmdDialog::settingsDialogClosed, mainFrame_.get(),
                     [this] { refreshEndpoints(); });
    // Both files live in the working folder; without it the run keeps nothing, and says so once.
    if (settingsFilePath().empty()) {
        platform::sendMessage(mainFrame_.get(), platform::StatusText{app_text::kNoWorkingFolder});
    }
    restoreWindowLayout(*mainFrame_);
    mainFrame_->show();
    mainFrame_->repaint();
    openHistory();
    return true;
}

void CLotwatchApp::openHistory()
{
    const std::string path = historyFilePath({});
    if (path.empty())
        return; // no working folder: said above
    history_ = std::make_shared<HistoryStore>();
    // The watch cycles that run while the file opens are kept and written once it is open.
    history_->holdBatches();
    mainFrame_->holdHistory(*history_);
    const int32_t retentionDays = settings_.ext.historyRetentionDays;
    historyOpening_.post([this, store = history_, path, retentionDays,
                          frame = QPointer<CMainFrame>(mainFrame_.get())](const platform::WaitInterrupt&) {
        const HistoryFileOpen opened = store->open(path, retentionDays);
        std::string notice;
        if (opened.outcome == HistoryFileOpen::Outcome::movedAside)
            notice = historyMovedAsideStatus(opened.movedTo);
        else if (!store->isOpen())
            notice = historyUnavailableStatus();
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr)
            return;
        // The store is the window's thread's from here on.
        QMetaObject::invokeMethod(
            app,
            [this, store, frame, notice, path] {
                const SqliteStatus held = store->releaseHeldBatches();
                // The window goes before the application object: with it here, so is this.
                if (!frame || frame->isClosing())
                    return;
                if (!notice.empty())
                    platform::sendMessage(frame.data(), platform::StatusText{notice});
                if (!store->isOpen())
                    return;
                if (!held.ok())
                    platform::sendMessage(frame.data(), platform::StatusText{historyNotWrittenStatus()});
                historyReads_ = std::make_unique<HistoryReads>(path, windowThreadDelivery());
                frame->attachHistory(*store, *historyReads_);
            },
            Qt::QueuedConnection);
    });
}

bool CLotwatchApp::bringToFront()
{
    if (!mainFrame_ || mainFrame_->isClosing())
        return false;
    mainFrame_->restoreWindow();
    return true;
}

void CLotwatchApp::refreshEndpoints()
{
    endpoints_ = fixedEndpoints_ ? *fixedEndpoints_
                                 : resolveEndpoints(settings_.ext.listingBase, settings_.ext.itemPageBase);
}

} // namespace pelimo
