#pragma once

#include <chrono>
#include <vector>

namespace pelimo::platform {

// One descriptor of a bounded wait: the EventLoop::SocketEvent bits asked for, and the bits
// found ready.
struct DescriptorWatch {
    int fd = -1;
    int requested = 0;
    int ready = 0;
};

// Waits at most timeout (0: a look without waiting) for any of the descriptors, and fills in
// each one's ready bits; an error or a hang-up counts as ready for what was asked, so the
// owner reads or writes and learns what happened. With no descriptors it sleeps out the
// bound. Returns whether any was ready; a wait cut short by a signal counts as none.
bool waitForDescriptors(std::vector<DescriptorWatch>& watches, std::chrono::milliseconds timeout);

} // namespace pelimo::platform
