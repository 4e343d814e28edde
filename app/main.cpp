#include "app/CLotwatchApp.h"
#include "app/CMainFrame.h"
#include "app/CsvExportCommand.h"
#include "platform/DataHome.h"
#include "platform/FileSystem.h"
#include "platform/RunningCopy.h"
#include "platform/TerminationPipe.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtTranslations.h"

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

namespace {

using pelimo::platform::FolderClaim;

// The running copy's lock file in its data folder, and the start of its socket's name.
pelimo::platform::ClaimOptions folderClaimOptions()
{
    return {.lockFileName = ".pelimo.lock", .socketPrefix = "pelimo-", .patience = std::chrono::seconds(15)};
}

// The exit status of a start that ends at its claim of the folder, saying why on stderr;
// nothing when the program goes on.
std::optional<int> endAtClaim(const FolderClaim& claim, const std::string& folder)
{
    switch (claim.outcome) {
    case FolderClaim::Outcome::owner:
        return std::nullopt;
    case FolderClaim::Outcome::unguarded:
        if (!folder.empty())
            std::fprintf(stderr,
                         "pelimo: cannot lock the data folder %s; a second copy on it will not be noticed\n",
                         folder.c_str());
        return std::nullopt;
    case FolderClaim::Outcome::handedOver:
        std::fprintf(stderr,
                     "pelimo: already running on the data folder %s; its window is brought to the front\n",
                     folder.c_str());
        return 0;
    case FolderClaim::Outcome::noAnswer:
        std::fprintf(stderr,
                     "pelimo: another copy (process %d) holds the data folder %s and does not answer\n",
                     static_cast<int>(claim.holder), folder.c_str());
        return 1;
    case FolderClaim::Outcome::interrupted:
        std::fputs("pelimo: interrupted while waiting for the copy already running\n", stderr);
        return 1;
    }
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    // From here on SIGTERM and SIGINT wait for the orderly shutdown, whenever in the start-up they
    // come.
    pelimo::platform::catchTerminationSignals();

    // The file of an export is named from where the command was typed, not the data folder.
    const std::optional<pelimo::CsvExportRequest> exportRequest =
        pelimo::csvExportRequest(argc, argv, pelimo::platform::currentDirectory());

    // Started from the menu (the desktop entry passes --data-home), the working directory is a
    // folder of our own under the XDG data home rather than the home folder.
    if (std::find(argv + 1, argv + argc, std::string_view("--data-home")) != argv + argc &&
        !pelimo::platform::enterDataHome("pelimo")) {
        std::fputs("pelimo: cannot make or enter its folder under the XDG data home\n", stderr);
        return 1;
    }

    // An export only reads the folder's files, so it runs beside a copy that owns the folder,
    // and without a display.
    if (exportRequest)
        return pelimo::runCsvExport(exportRequest->what, exportRequest->file);

    // One running copy owns a data folder, from before the first of its files is read; a second
    // start on it shows the running copy's window instead.
    const std::string folder = pelimo::platform::currentDirectory();
    FolderClaim claim = pelimo::platform::claimDataFolder(folder, folderClaimOptions());
    if (const std::optional<int> status = endAtClaim(claim, folder))
        return *status;

    // No Qt::AA_ShareOpenGLContexts: it makes Qt create an OpenGL context with the application,
    // loading the OpenGL driver (some 60 MB where it renders in software) before any web page is
    // wanted. The web engine's module sets up that sharing when the first item page loads it.
    QApplication qapp(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("pelimo"));
    pelimo::platform::installQtEventPump();
    pelimo::platform::installQtTranslations(qapp);

    // env.ini and AramList.xml live in the current working directory.
    pelimo::CLotwatchApp app;
    if (!app.initInstance()) {
        return 1;
    }
    if (claim.listener)
        claim.listener->serve([&app] { return app.bringToFront(); });
    // The orderly shutdown ends the run in every state: shown, hidden in the tray, or with a
    // modal dialog open (exit() ends the dialog's loop as well as this one).
    QObject::connect(app.mainFrame(), &pelimo::CMainFrame::shutdownFinished, &qapp,
                     [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
