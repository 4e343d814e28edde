#include "platform/qt/QtEventPump.h"

#include "platform/EventPump.h"

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
}

} // namespace pelimo::platform
