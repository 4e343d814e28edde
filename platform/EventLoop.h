#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace pelimo::platform {

// A single-shot timer of an event loop; it fires once, inside whatever wait of that loop
// runs when it is due.
class EventTimer {
public:
    virtual ~EventTimer() = default;
    // (Re)starts the timer; an earlier start that has not fired is dropped.
    virtual void start(std::chrono::milliseconds delay) = 0;
    virtual void stop() = 0;
};

// The event loop of the user-interface thread as the plain libraries see it: sockets to
// watch, timers, and a wait that handles events. Network work registers here so that it
// moves on inside any loop that runs, a nested wait or a modal dialog's loop alike.
class EventLoop {
public:
    enum SocketEvent { Readable = 1, Writable = 2 };
    // fd and the SocketEvent bits that are ready.
    using SocketHandler = std::function<void(int fd, int events)>;

    virtual ~EventLoop() = default;

    // Watches fd for reading, writing or both, replacing an earlier watch of the same fd.
    virtual void watchSocket(int fd, bool read, bool write, SocketHandler handler) = 0;
    // Stops watching fd; call it before the socket is closed.
    virtual void unwatchSocket(int fd) = 0;
    virtual std::unique_ptr<EventTimer> createTimer(std::function<void()> onTimeout) = 0;

    // Blocks until at least one event was handled (a socket, a timer, a pending event of the
    // program) or wakeUp was called, then returns. Returns at once when nothing is watched.
    virtual void waitForEvents() = 0;
    // Makes the current or the next waitForEvents return without waiting for more events.
    virtual void wakeUp() = 0;
};

// The installed loop: the program's, or else a loop of poll() that also runs the pending
// event handler of the message pump.
EventLoop& eventLoop();
// Installs a loop (nullptr goes back to the poll() loop). The loop must outlive its use.
void setEventLoop(EventLoop* loop);

} // namespace pelimo::platform
