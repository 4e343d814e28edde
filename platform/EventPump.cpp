#include "platform/EventPump.h"

#include <chrono>
#include <thread>
#include <utility>

namespace pelimo::platform {
namespace {

PendingEventHandler& handler()
{
    static PendingEventHandler instance;
    return instance;
}

} // namespace

void setPendingEventHandler(PendingEventHandler h)
{
    handler() = std::move(h);
}

bool hasPendingEventHandler()
{
    return static_cast<bool>(handler());
}

void dispatchPendingEvents()
{
    // A copy, so a handler that replaces itself while it runs stays alive until it returns.
    if (PendingEventHandler h = handler())
        h();
}

void pumpMessages()
{
    dispatchPendingEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

} // namespace pelimo::platform
