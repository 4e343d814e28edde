#include "app/CLotwatchApp.h"
#include "platform/qt/QtEventPump.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication qapp(argc, argv);
    pelimo::platform::installQtEventPump();

    // env.ini and AramList.xml live in the current working directory.
    pelimo::CLotwatchApp app;
    if (!app.initInstance()) {
        return 1;
    }
    return QApplication::exec();
}
