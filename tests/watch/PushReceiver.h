#pragma once

#include "tests/support/LoopbackListener.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pelimo::test {

// A loopback HTTP receiver that keeps the raw bytes of each request, then answers 200 or,
// when told to stay silent, nothing until the sender gives up.
class PushReceiver {
public:
    explicit PushReceiver(bool silent)
    {
        listener.serveEach([this, silent](LoopbackPeer& peer) {
            for (;;) {
                const std::optional<std::string> head = peer.readUntil("\r\n\r\n", std::chrono::seconds(5));
                if (!head)
                    return;
                const size_t lengthAt = head->find("Content-Length: ");
                if (lengthAt == std::string::npos) {
                    peer.drain();
                    return;
                }
                const std::optional<std::string> body =
                    peer.read(std::stoul(head->substr(lengthAt + 16)), std::chrono::seconds(5));
                if (!body)
                    return;
                {
                    const std::lock_guard lock(mutex);
                    received.push_back(*head + *body);
                }
                if (silent) {
                    // The silent receiver reads on until the sender closes.
                    peer.drain();
                    return;
                }
                peer.send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
            }
        });
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(listener.port()) + "/alerts"; }
    std::vector<std::string> requests()
    {
        const std::lock_guard lock(mutex);
        return received;
    }

private:
    std::mutex mutex;
    std::vector<std::string> received;
    LoopbackListener listener; // last: it goes first, its script with it
};

} // namespace pelimo::test
