#include "platform/qt/QtEventPump.h"

#include "platform/EventPump.h"
#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>

namespace pelimo::platform {

void installQtEventPump()
{
    setPendingEventHandler([] {
        // Events posted before the handler now running began are delivered too: a wait
        // inside a posted request must see the requests queued behind it.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    });
    // Never destroyed: transfers may still let go of their sockets after the application.
    static QtEventLoop* loop = new QtEventLoop;
    setEventLoop(loop);
}

} // namespace pelimo::platform
