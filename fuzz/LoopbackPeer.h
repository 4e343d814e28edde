#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace pelimo::fuzz {

// One loopback listener per fuzz process; each input is one connection to it.
inline int listener()
{
    static const int fd = [] {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(s, 4) != 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            abort();
        return s;
    }();
    return fd;
}

inline uint16_t listenerPort()
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(listener(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// The server side of one connection: with readFirst, waits for the end of a request's
// header (at most a second); writes the bytes, ends its sending side, and reads whatever the
// client says until it closes (or a second passes).
inline void serve(std::string bytes, bool readFirst)
{
    const int fd = ::accept(listener(), nullptr, nullptr);
    if (fd < 0)
        abort();
    if (readFirst) {
        std::string request;
        char chunk[4096];
        pollfd wait{fd, POLLIN, 0};
        while (request.find("\r\n\r\n") == std::string::npos && ::poll(&wait, 1, 1000) > 0) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            request.append(chunk, static_cast<size_t>(n));
        }
    }
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += static_cast<size_t>(n);
    }
    ::shutdown(fd, SHUT_WR);
    char sink[4096];
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 1000) > 0 && ::recv(fd, sink, sizeof sink, 0) > 0) {
    }
    ::close(fd);
}

} // namespace pelimo::fuzz
