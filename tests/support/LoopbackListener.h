#pragma once

#include "tests/support/LoopbackPeer.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace pelimo::test {

// A TCP listener on 127.0.0.1 at a port the system picks, for servers no real peer stands in
// for: a script runs against the first client, or against every client until the listener
// goes, on a thread of its own.
class LoopbackListener {
public:
    using Script = std::function<void(LoopbackPeer&)>;

    // A backlog of 0 leaves further connection attempts unanswered once one waits.
    explicit LoopbackListener(int backlog = 16);
    // Listens and runs the script against the first client (serveFirst).
    explicit LoopbackListener(Script script);
    ~LoopbackListener(); // stops waiting for clients, waits for a running script
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    uint16_t port() const { return portNumber; }
    std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(portNumber); }

    // The next client, waiting at most the bound; nothing when none came.
    std::unique_ptr<LoopbackPeer> accept(std::chrono::milliseconds bound);
    // On a thread: the script against the first client that comes within the bound.
    void serveFirst(Script script, std::chrono::milliseconds bound = std::chrono::seconds(10));
    // On a thread: the script against each client in turn until the listener goes.
    void serveEach(Script script);
    // Waits for serveFirst's script to end; what that client wrote.
    std::string finish();

private:
    int listener = -1;
    int wake = -1; // an eventfd that ends the wait for clients
    uint16_t portNumber = 0;
    std::string received;
    std::thread thread;
};

// A free TCP port on the loopback interface, as the system hands one out now: nothing
// listens there, so a connection to it is refused.
uint16_t freeLoopbackPort();
// Whether a connection to the loopback port succeeds now.
bool canConnectToLoopback(uint16_t port);

} // namespace pelimo::test
