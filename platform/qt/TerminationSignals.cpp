#include "platform/qt/TerminationSignals.h"

#include "platform/TerminationPipe.h"

#include <QSocketNotifier>

namespace pelimo::platform {

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    // main() catches the signals before anything else; a test that builds the program's
    // objects without main() gets them caught here.
    if (!catchTerminationSignals())
        return;
    notifier = new QSocketNotifier(terminationSignalDescriptor(), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::drain);
}

TerminationSignals::~TerminationSignals()
{
    if (notifier != nullptr)
        releaseTerminationSignals();
}

void TerminationSignals::drain()
{
    drainTerminationSignals();
    Q_EMIT terminationRequested();
}

} // namespace pelimo::platform
