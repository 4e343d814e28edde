#pragma once

#include <chrono>
#include <netinet/in.h>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace pelimo::platform {

class WaitInterrupt;

// The moment by which a whole exchange (a write, a reply of several pieces) must be done.
using Deadline = std::chrono::steady_clock::time_point;

// The deadline that lies the given time from now.
inline Deadline deadlineAfter(std::chrono::milliseconds timeout)
{
    return std::chrono::steady_clock::now() + timeout;
}

// A stream socket (TCP, or local: LocalSocket.h) that owns its descriptor. Every operation
// waits at most until the deadline or for the time it is given, so a peer that stops answering
// can never hold the caller for ever, and a raised interrupt ends any wait at once. The
// descriptor is non-blocking; sends never raise SIGPIPE.
class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd(fd) {}
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept : fd(other.release()), interrupt(other.interrupt) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool isOpen() const { return fd >= 0; }
    // Every later wait also ends, as failed, once the interrupt is raised; it must outlive
    // the socket's use. nullptr: the deadlines alone.
    void setInterrupt(const WaitInterrupt* i) { interrupt = i; }
    int descriptor() const { return fd; }
    int release();

    // Shuts the connection down in both directions and closes it; false when nothing was open.
    bool close();

    // Writes every byte; false on an error, a closed peer or when not all bytes went out by
    // the deadline (or within the time-out).
    bool sendAll(std::string_view bytes, Deadline deadline);
    bool sendAll(std::string_view bytes, std::chrono::milliseconds timeout)
    {
        return sendAll(bytes, deadlineAfter(timeout));
    }

    // One receive of up to capacity bytes once data is waiting. Returns the count (0 when
    // the peer closed), or nothing on an error or when no byte arrived by the deadline (or
    // within the time-out). With peek set the bytes stay waiting. A caller that assembles a
    // reply from several receives passes the same deadline to each, so a peer that trickles
    // its bytes cannot stretch the wait.
    std::optional<size_t> receiveOnce(char* buffer, size_t capacity, Deadline deadline, bool peek = false);
    std::optional<size_t> receiveOnce(char* buffer, size_t capacity, std::chrono::milliseconds timeout,
                                      bool peek = false)
    {
        return receiveOnce(buffer, capacity, deadlineAfter(timeout), peek);
    }

private:
    int fd = -1;
    const WaitInterrupt* interrupt = nullptr;
};

// The IPv4 address of a host: a dotted numeric address as it is, otherwise the first IPv4
// address the name service gives for it.
std::optional<in_addr> resolveIpv4(const std::string& host);

// Connects to address:port, waiting at most the time-out for the connection to complete, or
// until the interrupt is raised; the socket keeps watching the interrupt.
std::optional<Socket> connectTcp(in_addr address, uint16_t port, std::chrono::milliseconds timeout,
                                 const WaitInterrupt* interrupt = nullptr);

// The local host name, or nothing when the system does not report one.
std::optional<std::string> localHostName();

} // namespace pelimo::platform
