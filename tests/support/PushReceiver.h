#pragma once

#include "tests/support/LoopbackListener.h"

#include <mutex>
#include <string>
#include <vector>

namespace pelimo::test {

// A loopback HTTP receiver for pushes: keeps the raw bytes of each request, then answers 200
// or, when told to stay silent, nothing until the sender gives up.
class PushReceiver {
public:
    explicit PushReceiver(bool silent = false);

    // The address a push goes to: http://127.0.0.1:PORT/alerts
    std::string url() const { return "http://127.0.0.1:" + std::to_string(listener.port()) + "/alerts"; }
    // Each request whole, head and body, in arrival order.
    std::vector<std::string> requests();

private:
    std::mutex mutex;
    std::vector<std::string> received;
    LoopbackListener listener; // last: it goes first, its script with it
};

} // namespace pelimo::test
