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

CLotwatchApp::CLotwatchApp(Endpoints fixed) : endpoints(fixed), fixedEndpoints(std::move(fixed)) {}

CLotwatchApp::~CLotwatchApp()
{
    // The window goes first: its watch list writes its own file as it is destroyed. Every file
    // is written before the alarms still on their way get their moment.
    terminationSignals.reset();
    window.reset();
    historyReads.reset();
    historyOpening.finish(std::chrono::seconds(0));
    saveSettings(envSettings);
    deliveries.finish(kExitDeliveryGrace);
}

bool CLotwatchApp::initInstance()
{
    // Heard first, before any file is read: a signal while the window is being built waits for
    // it and then ends the run in order.
    terminationSignals = std::make_unique<platform::TerminationSignals>(nullptr);
    QObject::connect(terminationSignals.get(), &platform::TerminationSignals::terminationRequested,
                     terminationSignals.get(), [this] {
                         if (window)
                             window->beginShutdown();
                         else
                             shutdownRequested = true;
                     });
    loadSettings(envSettings);
    refreshEndpoints();
    window = std::make_unique<CMainFrame>(envSettings, endpoints, deliveries);
    if (shutdownRequested)
        QTimer::singleShot(0, window.get(), &CMainFrame::beginShutdown);
    QObject::connect(window->cmdBar(), &CRkCmdDialog::settingsDialogClosed, window.get(),
                     [this] { refreshEndpoints(); });
    // Both files live in the working folder; without it the run keeps nothing, and says so once.
    if (settingsFilePath().empty()) {
        platform::sendMessage(window.get(), platform::StatusText{app_text::kNoWorkingFolder});
    }
    restoreWindowLayout(*window);
    window->show();
    window->repaint();
    openHistory();
    return true;
}

void CLotwatchApp::openHistory()
{
    const std::string path = historyFilePath({});
    if (path.empty())
        return; // no working folder: said above
    history = std::make_shared<HistoryStore>();
    // The watch cycles that run while the file opens are kept and written once it is open.
    history->holdBatches();
    window->holdHistory(*history);
    const int32_t retentionDays = envSettings.ext.historyRetentionDays;
    historyOpening.post([this, store = history, path, retentionDays,
                         frame = QPointer<CMainFrame>(window.get())](const platform::WaitInterrupt&) {
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
                historyReads = std::make_unique<HistoryReads>(path, windowThreadDelivery());
                frame->attachHistory(*store, *historyReads);
            },
            Qt::QueuedConnection);
    });
}

bool CLotwatchApp::bringToFront()
{
    if (!window || window->isClosing())
        return false;
    window->restoreWindow();
    return true;
}

void CLotwatchApp::refreshEndpoints()
{
    endpoints = fixedEndpoints ? *fixedEndpoints
                               : resolveEndpoints(envSettings.ext.listingBase, envSettings.ext.itemPageBase);
}

} // namespace pelimo
