#include "tests/support/LoopbackPeer.h"

#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace pelimo::test {

LoopbackPeer::~LoopbackPeer()
{
    ::close(fd);
}

bool LoopbackPeer::send(std::string_view bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

void LoopbackPeer::trickle(std::string_view bytes, std::chrono::milliseconds pause)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        send(bytes.substr(i, 1));
        std::this_thread::sleep_for(pause);
    }
}

bool LoopbackPeer::readMore(std::chrono::milliseconds silence)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(silence.count())) <= 0)
        return false;
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;
    pending.append(buffer, static_cast<size_t>(n));
    log.append(buffer, static_cast<size_t>(n));
    return true;
}

std::optional<std::string> LoopbackPeer::readLine(std::chrono::milliseconds silence)
{
    return readUntil("\n", silence, std::string::npos);
}

std::optional<std::string> LoopbackPeer::readUntil(std::string_view marker, std::chrono::milliseconds silence,
                                                   size_t cap)
{
    for (;;) {
        const size_t at = pending.find(marker);
        if (at != std::string::npos) {
            std::string head = pending.substr(0, at + marker.size());
            pending.erase(0, at + marker.size());
            return head;
        }
        if (pending.size() > cap || !readMore(silence))
            return std::nullopt;
    }
}

std::optional<std::string> LoopbackPeer::read(size_t count, std::chrono::milliseconds silence)
{
    while (pending.size() < count) {
        if (!readMore(silence))
            return std::nullopt;
    }
    std::string bytes = pending.substr(0, count);
    pending.erase(0, count);
    return bytes;
}

void LoopbackPeer::drain(std::chrono::milliseconds silence)
{
    while (readMore(silence))
        pending.clear();
}

void LoopbackPeer::endSending()
{
    ::shutdown(fd, SHUT_WR);
}

} // namespace pelimo::test
