#pragma once

#include "platform/EventLoop.h"

#include <map>
#include <memory>

class QSocketNotifier;

namespace pelimo::platform {

// The plain libraries' event loop on Qt's: a socket notifier per watched socket and
// direction and a QTimer per timer, so their work moves on in every Qt loop that runs,
// a modal dialog's and a menu's included.
class QtEventLoop final : public EventLoop {
public:
    QtEventLoop() = default;
    ~QtEventLoop() override;
    QtEventLoop(const QtEventLoop&) = delete;
    QtEventLoop& operator=(const QtEventLoop&) = delete;

    void watchSocket(int fd, bool read, bool write, SocketHandler handler) override;
    void unwatchSocket(int fd) override;
    std::unique_ptr<EventTimer> createTimer(std::function<void()> onTimeout) override;
    void waitForEvents() override;
    void wakeUp() override;

private:
    // A socket's notifiers stay while it is watched; a change of direction only enables or
    // disables them, as libcurl changes direction several times per request.
    struct Watch {
        std::shared_ptr<SocketHandler> handler;
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };
    static void retire(QSocketNotifier*& notifier);
    static void want(QSocketNotifier*& notifier, bool wanted, int fd, int event,
                     const std::shared_ptr<SocketHandler>& handler);

    std::map<int, Watch> watches;
};

} // namespace pelimo::platform
