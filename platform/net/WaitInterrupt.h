#pragma once

namespace pelimo::platform {

// Ends the network waits of another thread at once: once raised, every wait that watches it
// returns as failed, and so does every later one. Raising is safe from any thread.
class WaitInterrupt {
public:
    WaitInterrupt();
    ~WaitInterrupt();
    WaitInterrupt(const WaitInterrupt&) = delete;
    WaitInterrupt& operator=(const WaitInterrupt&) = delete;

    void raise();
    // Readable once raised; for a poll beside the sockets it watches.
    int descriptor() const { return fd; }

private:
    int fd = -1;
};

} // namespace pelimo::platform
