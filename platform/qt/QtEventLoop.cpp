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

QSocketNotifier* makeNotifier(int fd, QSocketNotifier::Type type, int event,
                              const EventLoop::SocketHandler& handler)
{
    auto* notifier = new QSocketNotifier(fd, type);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [handler, fd, event] { handler(fd, event); });
    return notifier;
}

} // namespace

QtEventLoop::~QtEventLoop()
{
    for (auto& [fd, watch] : watches) {
        delete watch.read;
        delete watch.write;
    }
}

void QtEventLoop::retire(QSocketNotifier* notifier)
{
    if (!notifier)
        return;
    // The notifier may be the one whose signal is being handled right now.
    notifier->setEnabled(false);
    notifier->disconnect();
    notifier->deleteLater();
}

void QtEventLoop::watchSocket(int fd, bool read, bool write, SocketHandler handler)
{
    unwatchSocket(fd);
    Watch watch;
    if (read)
        watch.read = makeNotifier(fd, QSocketNotifier::Read, Readable, handler);
    if (write)
        watch.write = makeNotifier(fd, QSocketNotifier::Write, Writable, handler);
    watches[fd] = watch;
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
