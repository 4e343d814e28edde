#include "platform/net/WaitInterrupt.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace pelimo::platform {

WaitInterrupt::WaitInterrupt() : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WaitInterrupt::~WaitInterrupt()
{
    if (fd >= 0)
        ::close(fd);
}

void WaitInterrupt::raise()
{
    // Never read back: the descriptor stays readable for every wait after this one.
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

} // namespace pelimo::platform
