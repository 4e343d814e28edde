#include "platform/EventLoop.h"

#include "platform/PollEventLoop.h"

namespace pelimo::platform {
namespace {

EventLoop*& installed()
{
    static EventLoop* loop = nullptr;
    return loop;
}

} // namespace

EventLoop& eventLoop()
{
    if (EventLoop* loop = installed())
        return *loop;
    // Never destroyed: network work may still unwatch its sockets during the exit.
    static PollEventLoop* fallback = new PollEventLoop;
    return *fallback;
}

void setEventLoop(EventLoop* loop)
{
    installed() = loop;
}

} // namespace pelimo::platform
