#pragma once

#include "app/CMainFrame.h"
#include "itempage/ItemPageModule.h"
#include "platform/WorkQueue.h"
#include "platform/qt/DefaultBrowser.h"
#include "settings/SettingsStore.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempFolder.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

namespace pelimo::test {

// The main window shown with the settings, endpoints and delivery queue it keeps referring to.
inline std::unique_ptr<CMainFrame> showMainFrame(EnvSettings& settings, const Endpoints& endpoints,
                                                 platform::WorkQueue& deliveries)
{
    auto frame = std::make_unique<CMainFrame>(settings, endpoints, deliveries);
    frame->show();
    [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(frame.get());
    return frame;
}

// A browser stand-in in `folder` that appends how many arguments it got and the first one
// ("1|address") to opened.txt there; returns that file's path.
inline QString installBrowserStandIn(const QString& folder)
{
    const QString script = folder + QStringLiteral("/browser.sh");
    QFile f(script);
    if (f.open(QIODevice::WriteOnly))
        f.write("#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$1\" >> \"$(dirname \"$0\")/opened.txt\"\n");
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    platform::setBrowserProgram(script);
    return folder + QStringLiteral("/opened.txt");
}

// What each test of the main window starts from: a fresh folder as the current one (where the
// program keeps its files), default settings and the listing simulator as both endpoints.
// Inherited by the suites so that the tests read the members by their plain names.
struct ShellFixture {
    std::unique_ptr<TempFolder> dir;
    QString previousDir;
    std::unique_ptr<SimulatorProcess> sim;
    Endpoints endpoints;
    EnvSettings settings;
    platform::WorkQueue deliveries;

    // False when the folder or the simulator could not be had.
    bool startShell(const char* folderPrefix, std::vector<std::string> simulatorArgs)
    {
        dir = std::make_unique<TempFolder>(folderPrefix);
        if (dir->path().empty())
            return false;
        previousDir = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir->path()));
        settings = defaultSettings();
        // The suites are not installed beside the web engine's module.
        setItemPageModulePath(PELIMO_ITEMPAGE_MODULE_PATH);
        sim = std::make_unique<SimulatorProcess>(std::move(simulatorArgs));
        if (!sim->start())
            return false;
        endpoints.listingBase = sim->baseUrl();
        endpoints.itemPageBase = sim->baseUrl();
        return true;
    }

    void stopShell()
    {
        sim.reset();
        if (!previousDir.isEmpty())
            QDir::setCurrent(previousDir);
        dir.reset();
    }

    std::unique_ptr<CMainFrame> makeFrame() { return showMainFrame(settings, endpoints, deliveries); }
};

} // namespace pelimo::test
