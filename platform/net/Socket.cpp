#include "platform/net/Socket.h"

#include "platform/net/WaitInterrupt.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pelimo::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Waits until the descriptor is ready for the given events or the deadline passes; false as
// well once the interrupt is raised. A signal does not cut the wait short.
bool waitFor(int fd, short events, Clock::time_point deadline, const WaitInterrupt* interrupt)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int ms = left.count() <= 0 ? 0 : static_cast<int>(std::min<long long>(left.count(), INT_MAX));
        pollfd p[2] = {{fd, events, 0}, {interrupt ? interrupt->descriptor() : -1, POLLIN, 0}};
        const int rc = ::poll(p, 2, ms);
        if (rc > 0)
            return p[1].revents == 0;
        if (rc == 0)
            return false;
        if (errno != EINTR)
            return false;
    }
}

} // namespace

Socket& Socket::operator=(Socket&& other) noexcept
{
    if (this != &other) {
        close();
        fd = other.release();
        interrupt = other.interrupt;
    }
    return *this;
}

int Socket::release()
{
    const int old = fd;
    fd = -1;
    return old;
}

bool Socket::close()
{
    if (fd < 0)
        return false;
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    fd = -1;
    return true;
}

bool Socket::sendAll(std::string_view bytes, Deadline deadline)
{
    if (fd < 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            bytes.remove_prefix(static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, deadline, interrupt))
                return false;
            continue;
        }
        return false;
    }
    return true;
}

std::optional<size_t> Socket::receiveOnce(char* buffer, size_t capacity, Deadline deadline, bool peek)
{
    if (fd < 0 || capacity == 0)
        return std::nullopt;
    for (;;) {
        if (!waitFor(fd, POLLIN, deadline, interrupt))
            return std::nullopt;
        const ssize_t n = ::recv(fd, buffer, capacity, MSG_DONTWAIT | (peek ? MSG_PEEK : 0));
        if (n >= 0)
            return static_cast<size_t>(n);
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            return std::nullopt;
    }
}

std::optional<in_addr> resolveIpv4(const std::string& host)
{
    in_addr address{};
    if (::inet_pton(AF_INET, host.c_str(), &address) == 1)
        return address;
    if (host.empty())
        return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return std::nullopt;
    std::optional<in_addr> result;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addr != nullptr) {
            result = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr;
            break;
        }
    }
    ::freeaddrinfo(found);
    return result;
}

std::optional<Socket> connectTcp(in_addr address, uint16_t port, std::chrono::milliseconds timeout,
                                 const WaitInterrupt* interrupt)
{
    Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
    if (!socket.isOpen())
        return std::nullopt;
    socket.setInterrupt(interrupt);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr = address;
    const int rc = ::connect(socket.descriptor(), reinterpret_cast<const sockaddr*>(&target), sizeof target);
    if (rc != 0) {
        if (errno != EINPROGRESS && errno != EINTR)
            return std::nullopt;
        if (!waitFor(socket.descriptor(), POLLOUT, Clock::now() + timeout, interrupt))
            return std::nullopt;
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(socket.descriptor(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return std::nullopt;
    }
    return socket;
}

std::optional<std::string> localHostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return std::nullopt;
    return std::string(name);
}

} // namespace pelimo::platform
