#include "platform/net/LocalSocket.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

namespace pelimo::platform {
namespace {

// The abstract namespace: a NUL first, then the name, counted by the length, not NUL-ended.
std::optional<std::pair<sockaddr_un, socklen_t>> abstractAddress(std::string_view name)
{
    sockaddr_un address{};
    if (name.empty() || name.size() > kMaxLocalSocketName || name.size() >= sizeof address.sun_path)
        return std::nullopt;
    address.sun_family = AF_UNIX;
    address.sun_path[0] = '\0';
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return std::make_pair(address, length);
}

Socket newLocalSocket()
{
    return Socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
}

} // namespace

std::optional<Socket> listenLocal(std::string_view name)
{
    const auto address = abstractAddress(name);
    Socket socket = newLocalSocket();
    if (!address || !socket.isOpen())
        return std::nullopt;
    if (::bind(socket.descriptor(), reinterpret_cast<const sockaddr*>(&address->first), address->second) !=
            0 ||
        ::listen(socket.descriptor(), 8) != 0)
        return std::nullopt;
    return socket;
}

std::optional<Socket> acceptLocal(const Socket& listener)
{
    for (;;) {
        const int fd = ::accept4(listener.descriptor(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0)
            return Socket(fd);
        // A connection that went away before it was taken leaves the next one waiting.
        if (errno != EINTR && errno != ECONNABORTED)
            return std::nullopt;
    }
}

std::optional<Socket> connectLocal(std::string_view name)
{
    const auto address = abstractAddress(name);
    Socket socket = newLocalSocket();
    if (!address || !socket.isOpen())
        return std::nullopt;
    int rc;
    while ((rc = ::connect(socket.descriptor(), reinterpret_cast<const sockaddr*>(&address->first),
                           address->second)) != 0 &&
           errno == EINTR) {
    }
    if (rc != 0)
        return std::nullopt;
    return socket;
}

std::optional<uid_t> peerUser(const Socket& socket)
{
    ucred credentials{};
    socklen_t length = sizeof credentials;
    if (::getsockopt(socket.descriptor(), SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0)
        return std::nullopt;
    return credentials.uid;
}

} // namespace pelimo::platform
