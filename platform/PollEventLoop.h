#pragma once

#include "platform/EventLoop.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <vector>

namespace pelimo::platform {

// An event loop of poll(), for headless programs and tests. Each round it also runs the
// message pump's pending event handler; while one is installed a round lasts a few
// milliseconds at most, so the handler runs as often as the pump would run it.
class PollEventLoop final : public EventLoop {
public:
    PollEventLoop() = default;
    ~PollEventLoop() override;
    PollEventLoop(const PollEventLoop&) = delete;
    PollEventLoop& operator=(const PollEventLoop&) = delete;

    void watchSocket(int fd, bool read, bool write, SocketHandler handler) override;
    void unwatchSocket(int fd) override;
    std::unique_ptr<EventTimer> createTimer(std::function<void()> onTimeout) override;
    void waitForEvents() override;
    void wakeUp() override { wakePending = true; }

    // The SocketEvent bits of poll()'s answer for one socket. An error or a hang-up counts as
    // ready in the directions asked for: the socket's own read or write then reports it.
    static int readyEvents(short requested, short returned);

private:
    class Timer;
    using Clock = std::chrono::steady_clock;

    struct Watch {
        bool read = false;
        bool write = false;
        uint64_t id = 0; // tells a watch from a later one of the same fd
        SocketHandler handler;
    };
    bool fireDueTimers();

    std::map<int, Watch> watches;
    std::vector<Timer*> timers;
    uint64_t nextWatchId = 1;
    bool wakePending = false;
};

} // namespace pelimo::platform
