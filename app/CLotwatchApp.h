#pragma once

#include "app/settings/EnvSettings.h"
#include "xmlclient/Endpoints.h"

#include <memory>

namespace pelimo {

namespace platform {
class TerminationSignals;
}

class CMainFrame;

// The application: owns the settings for the whole run and the main window, and saves the
// settings when it goes, at every normal exit.
class CLotwatchApp final {
public:
    explicit CLotwatchApp(Endpoints endpoints);
    ~CLotwatchApp();
    CLotwatchApp(const CLotwatchApp&) = delete;
    CLotwatchApp& operator=(const CLotwatchApp&) = delete;

    // Loads the settings and shows the main window.
    bool initInstance();

    EnvSettings& settings() { return settings_; }
    CMainFrame* mainFrame() const { return mainFrame_.get(); }

private:
    Endpoints endpoints_;
    EnvSettings settings_;
    std::unique_ptr<CMainFrame> mainFrame_;
    std::unique_ptr<platform::TerminationSignals> signals_;
};

} // namespace pelimo
