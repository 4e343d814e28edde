#include "history/ui/WindowThreadDelivery.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace pelimo {

HistoryReads::Deliver windowThreadDelivery()
{
    return [](HistoryReads::Task task) {
        QCoreApplication* app = QCoreApplication::instance();
        if (app != nullptr)
            QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
    };
}

} // namespace pelimo
