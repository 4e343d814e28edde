#include "platform/PollEventLoop.h"

#include "platform/EventPump.h"

#include <algorithm>
#include <poll.h>
#include <utility>

namespace pelimo::platform {
namespace {

// Longest round while a pending event handler is installed: the pump's own rhythm.
constexpr auto kHandlerRound = std::chrono::milliseconds(2);

} // namespace

class PollEventLoop::Timer final : public EventTimer {
public:
    Timer(PollEventLoop* loop, std::function<void()> onTimeout) : loop(loop), onTimeout(std::move(onTimeout))
    {
        loop->timers.push_back(this);
    }
    ~Timer() override
    {
        if (loop)
            std::erase(loop->timers, this);
    }
    void start(std::chrono::milliseconds delay) override
    {
        armed = true;
        due = Clock::now() + std::max(delay, std::chrono::milliseconds(0));
    }
    void stop() override { armed = false; }

    PollEventLoop* loop;
    std::function<void()> onTimeout;
    bool armed = false;
    Clock::time_point due;
};

PollEventLoop::~PollEventLoop()
{
    for (Timer* timer : timers)
        timer->loop = nullptr;
}

void PollEventLoop::watchSocket(int fd, bool read, bool write, SocketHandler handler)
{
    watches[fd] = Watch{read, write, nextWatchId++, std::move(handler)};
}

void PollEventLoop::unwatchSocket(int fd)
{
    watches.erase(fd);
}

std::unique_ptr<EventTimer> PollEventLoop::createTimer(std::function<void()> onTimeout)
{
    return std::make_unique<Timer>(this, std::move(onTimeout));
}

int PollEventLoop::readyEvents(short requested, short returned)
{
    const bool broken = (returned & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    int events = 0;
    if ((returned & POLLIN) || (broken && (requested & POLLIN)))
        events |= Readable;
    if ((returned & POLLOUT) || (broken && (requested & POLLOUT)))
        events |= Writable;
    return events;
}

bool PollEventLoop::fireDueTimers()
{
    const auto now = Clock::now();
    std::vector<Timer*> due;
    for (Timer* timer : timers) {
        if (timer->armed && timer->due <= now)
            due.push_back(timer);
    }
    bool fired = false;
    for (Timer* timer : due) {
        // An earlier timer's handler may have stopped, restarted or destroyed this one.
        if (std::find(timers.begin(), timers.end(), timer) == timers.end() || !timer->armed ||
            timer->due > now)
            continue;
        timer->armed = false;
        const std::function<void()> handler = timer->onTimeout;
        handler();
        fired = true;
    }
    return fired;
}

void PollEventLoop::waitForEvents()
{
    for (;;) {
        const bool hook = hasPendingEventHandler();
        int timeoutMs = -1;
        if (wakePending || hook)
            timeoutMs = wakePending ? 0 : static_cast<int>(kHandlerRound.count());
        for (const Timer* timer : timers) {
            if (!timer->armed)
                continue;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(timer->due - Clock::now());
            const int ms = static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30));
            timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
        }
        if (timeoutMs < 0 && watches.empty())
            return; // nothing could ever end the wait

        std::vector<pollfd> fds;
        std::vector<uint64_t> ids;
        fds.reserve(watches.size());
        for (const auto& [fd, watch] : watches) {
            const short events = static_cast<short>((watch.read ? POLLIN : 0) | (watch.write ? POLLOUT : 0));
            fds.push_back(pollfd{fd, events, 0});
            ids.push_back(watch.id);
        }
        const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
        bool handled = false;
        if (ready > 0) {
            for (size_t i = 0; i < fds.size(); ++i) {
                if (fds[i].revents == 0)
                    continue;
                // A handler that ran before may have dropped or replaced this watch.
                const auto it = watches.find(fds[i].fd);
                if (it == watches.end() || it->second.id != ids[i])
                    continue;
                const SocketHandler handler = it->second.handler;
                handler(fds[i].fd, readyEvents(fds[i].events, fds[i].revents));
                handled = true;
            }
        }
        handled = fireDueTimers() || handled;
        if (hook) {
            dispatchPendingEvents();
            handled = true;
        }
        if (wakePending) {
            wakePending = false;
            handled = true;
        }
        if (handled)
            return;
    }
}

} // namespace pelimo::platform
