#include "platform/qt/QtEventLoop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <utility>

namespace pelimo::platform {
namespace {

class QtTimer final : public EventTimer {
public:
    explicit QtTimer(std::function<void()> onTimeout) : onTimeout(std::move(onTimeout))
    {
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] {
            const std::function<void()> handler = this->onTimeout;
            handler();
        });
    }
    void start(std::chrono::milliseconds delay) override
    {
        timer.start(std::max(delay, std::chrono::milliseconds(0)));
    }
    void stop() override { timer.stop(); }

private:
    std::function<void()> onTimeout;
    QTimer timer;
};

} // namespace

QtEventLoop::~QtEventLoop()
{
    for (auto& [fd, watch] : watches) {
        delete watch.read;
        delete watch.write;
    }
}

void QtEventLoop::retire(QSocketNotifier*& notifier)
{
    if (!notifier)
        return;
    // The notifier may be the one whose signal is being handled right now.
    notifier->setEnabled(false);
    notifier->disconnect();
    notifier->deleteLater();
    notifier = nullptr;
}

void QtEventLoop::want(QSocketNotifier*& notifier, bool wanted, int fd, int event,
                       const std::shared_ptr<SocketHandler>& handler)
{
    if (!notifier && wanted) {
        notifier =
            new QSocketNotifier(fd, event == Readable ? QSocketNotifier::Read : QSocketNotifier::Write);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [handler, fd, event] {
            const SocketHandler current = *handler; // the handler may replace itself
            current(fd, event);
        });
    } else if (notifier && notifier->isEnabled() != wanted) {
        notifier->setEnabled(wanted);
    }
}

void QtEventLoop::watchSocket(int fd, bool read, bool write, SocketHandler handler)
{
    Watch& watch = watches[fd];
    if (!watch.handler)
        watch.handler = std::make_shared<SocketHandler>();
    *watch.handler = std::move(handler);
    want(watch.read, read, fd, Readable, watch.handler);
    want(watch.write, write, fd, Writable, watch.handler);
}

void QtEventLoop::unwatchSocket(int fd)
{
    const auto it = watches.find(fd);
    if (it == watches.end())
        return;
    retire(it->second.read);
    retire(it->second.write);
    watches.erase(it);
}

std::unique_ptr<EventTimer> QtEventLoop::createTimer(std::function<void()> onTimeout)
{
    return std::make_unique<QtTimer>(std::move(onTimeout));
}

void QtEventLoop::waitForEvents()
{
    // Events posted while the handler now running was being delivered are sent too: a wait
    // inside a posted request must see the requests queued behind it.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtEventLoop::wakeUp()
{
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
}

} // namespace pelimo::platform
