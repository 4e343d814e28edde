#include "app/CLotwatchApp.h"
#include "app/CMainFrame.h"
#include "platform/DataHome.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtTranslations.h"

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <string_view>

int main(int argc, char** argv)
{
    // Started from the menu (the desktop entry passes --data-home), the working directory is a
    // folder of our own under the XDG data home rather than the home folder.
    if (std::find(argv + 1, argv + argc, std::string_view("--data-home")) != argv + argc &&
        !pelimo::platform::enterDataHome("pelimo")) {
        std::fputs("pelimo: cannot make or enter its folder under the XDG data home\n", stderr);
        return 1;
    }

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
    // The orderly shutdown ends the run in every state: shown, hidden in the tray, or with a
    // modal dialog open (exit() ends the dialog's loop as well as this one).
    QObject::connect(app.mainFrame(), &pelimo::CMainFrame::shutdownFinished, &qapp,
                     [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
