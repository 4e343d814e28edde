#include "tests/support/PushReceiver.h"

#include <chrono>
#include <optional>

namespace pelimo::test {

using namespace std::chrono_literals;

PushReceiver::PushReceiver(bool silent)
{
    listener.serveEach([this, silent](LoopbackPeer& peer) {
        for (;;) {
            const std::optional<std::string> head = peer.readUntil("\r\n\r\n", 5s);
            if (!head)
                return;
            const size_t lengthAt = head->find("Content-Length: ");
            if (lengthAt == std::string::npos) {
                peer.drain();
                return;
            }
            const std::optional<std::string> body = peer.read(std::stoul(head->substr(lengthAt + 16)), 5s);
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

std::vector<std::string> PushReceiver::requests()
{
    const std::lock_guard lock(mutex);
    return received;
}

} // namespace pelimo::test
