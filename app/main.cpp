#include "app/CLotwatchApp.h"
#include "app/CMainFrame.h"
#include "platform/qt/QtEventPump.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication qapp(argc, argv);
    pelimo::platform::installQtEventPump();

    // env.ini and AramList.xml live in the current working directory.
    pelimo::CLotwatchApp app(pelimo::endpointsFromEnvironment());
    if (!app.initInstance()) {
        return 1;
    }
    // The orderly shutdown ends the run in every state: shown, hidden in the tray, or with a
    // modal dialog open (exit() ends the dialog's loop as well as this one).
    QObject::connect(app.mainFrame(), &pelimo::CMainFrame::shutdownFinished, &qapp,
                     [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
