#include "platform/DescriptorWait.h"

#include "platform/EventLoop.h"
#include "platform/PollEventLoop.h"

#include <algorithm>
#include <climits>
#include <poll.h>

namespace pelimo::platform {

bool waitForDescriptors(std::vector<DescriptorWatch>& watches, std::chrono::milliseconds timeout)
{
    const int ms = static_cast<int>(std::clamp<long long>(timeout.count(), 0, INT_MAX));
    if (watches.empty()) {
        if (ms > 0)
            ::poll(nullptr, 0, ms);
        return false;
    }
    std::vector<pollfd> fds;
    fds.reserve(watches.size());
    for (const DescriptorWatch& watch : watches) {
        const short events = static_cast<short>(((watch.requested & EventLoop::Readable) ? POLLIN : 0) |
                                                ((watch.requested & EventLoop::Writable) ? POLLOUT : 0));
        fds.push_back(pollfd{watch.fd, events, 0});
    }
    const bool any = ::poll(fds.data(), fds.size(), ms) > 0;
    for (size_t i = 0; i < watches.size(); ++i)
        watches[i].ready = any ? PollEventLoop::readyEvents(fds[i].events, fds[i].revents) : 0;
    return any;
}

} // namespace pelimo::platform
