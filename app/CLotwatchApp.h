#pragma once

#include "platform/WorkQueue.h"
#include "settings/EnvSettings.h"
#include "xmlclient/Endpoints.h"

#include <memory>
#include <optional>

namespace pelimo {

namespace platform {
class TerminationSignals;
}

class CMainFrame;
class HistoryReads;
class HistoryStore;

// The application: owns the settings for the whole run, the main window and the queue its
// alarms go out on, and saves the settings when it goes, at every normal exit, before the
// alarms still on their way get their last moment.
class CLotwatchApp final {
public:
    // The addresses of the listing service and the item pages come from the environment and
    // the settings, and are read again whenever the settings dialog closes.
    CLotwatchApp();
    // Fixed addresses, whatever the settings say.
    explicit CLotwatchApp(Endpoints endpoints);
    ~CLotwatchApp();
    CLotwatchApp(const CLotwatchApp&) = delete;
    CLotwatchApp& operator=(const CLotwatchApp&) = delete;

    // Loads the settings and shows the main window. A termination signal that comes meanwhile
    // ends the run through the orderly shutdown once the window is there.
    bool initInstance();
    // A later start on the same data folder: the window comes up, raised and out of the tray.
    // False while the program is ending, when there is no window to bring.
    bool bringToFront();

    EnvSettings& settings() { return envSettings; }
    CMainFrame* mainFrame() const { return window.get(); }

private:
    void refreshEndpoints();
    // Opens history.db off the window's thread and hands it to the window when it is ready.
    void openHistory();

    // The panes and the watch list hold this object, so a change reaches the next search, the
    // next watch cycle and the next item page.
    Endpoints endpoints;
    std::optional<Endpoints> fixedEndpoints;
    EnvSettings envSettings;
    // Before the window, whose alarms may still be on their way when it has gone.
    platform::WorkQueue deliveries;
    // Before the window, whose lists write to it. Shared with the job that opens it, which
    // reads the whole file and may outlast a quick exit.
    std::shared_ptr<HistoryStore> history;
    // The history's long reads, once the store is open; the window's lists use it.
    std::unique_ptr<HistoryReads> historyReads;
    platform::WorkQueue historyOpening;
    std::unique_ptr<CMainFrame> window;
    std::unique_ptr<platform::TerminationSignals> terminationSignals;
    bool shutdownRequested = false; // a signal came before the window was there
};

} // namespace pelimo
