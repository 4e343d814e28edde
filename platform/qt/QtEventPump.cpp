#include "platform/qt/QtEventPump.h"

#include "platform/EventPump.h"

#include <QCoreApplication>

namespace pelimo::platform {

void installQtEventPump()
{
    setPendingEventHandler([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
}

} // namespace pelimo::platform
