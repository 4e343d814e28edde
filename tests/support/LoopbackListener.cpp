#include "tests/support/LoopbackListener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pelimo::test {
namespace {

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

} // namespace

LoopbackListener::LoopbackListener(int backlog)
{
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    wake = ::eventfd(0, EFD_CLOEXEC);
    sockaddr_in a = loopback(0);
    socklen_t length = sizeof a;
    if (listener >= 0 && ::bind(listener, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 &&
        ::listen(listener, backlog) == 0 &&
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length) == 0)
        portNumber = ntohs(a.sin_port);
}

LoopbackListener::LoopbackListener(Script script) : LoopbackListener()
{
    serveFirst(std::move(script));
}

LoopbackListener::~LoopbackListener()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake, &one, sizeof one);
    if (thread.joinable())
        thread.join();
    ::close(listener);
    ::close(wake);
}

std::unique_ptr<LoopbackPeer> LoopbackListener::accept(std::chrono::milliseconds bound)
{
    // A client already waiting is taken even when the listener is going.
    pollfd watch[2] = {{listener, POLLIN, 0}, {wake, POLLIN, 0}};
    int ready = 0;
    do
        ready = ::poll(watch, 2, static_cast<int>(bound.count()));
    while (ready < 0 && errno == EINTR);
    if (ready <= 0 || (watch[0].revents & POLLIN) == 0)
        return nullptr;
    const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    return client < 0 ? nullptr : std::make_unique<LoopbackPeer>(client);
}

void LoopbackListener::serveFirst(Script script, std::chrono::milliseconds bound)
{
    thread = std::thread([this, script = std::move(script), bound] {
        if (const auto peer = accept(bound)) {
            script(*peer);
            received = peer->received();
        }
    });
}

void LoopbackListener::serveEach(Script script)
{
    thread = std::thread([this, script = std::move(script)] {
        for (;;) {
            pollfd going{wake, POLLIN, 0};
            if (::poll(&going, 1, 0) > 0)
                return;
            if (const auto peer = accept(std::chrono::hours(1)))
                script(*peer);
        }
    });
}

std::string LoopbackListener::finish()
{
    if (thread.joinable())
        thread.join();
    return received;
}

uint16_t freeLoopbackPort()
{
    return LoopbackListener().port();
}

bool canConnectToLoopback(uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = loopback(port);
    const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

} // namespace pelimo::test
