#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace pelimo::test {

// The server's side of one loopback connection, as a scripted server uses it. Everything the
// client wrote and the script read is kept for the test.
class LoopbackPeer {
public:
    explicit LoopbackPeer(int fd) : fd(fd) {}
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    // Sends all bytes; false when the client went away first.
    bool send(std::string_view bytes);
    // Sends the bytes one at a time with a pause between them.
    void trickle(std::string_view bytes, std::chrono::milliseconds pause);
    // The next line with its line end; nothing when the client closed or stayed silent.
    std::optional<std::string> readLine(std::chrono::milliseconds silence = std::chrono::seconds(5));
    // Everything up to and with the marker (an HTTP header's blank line, say); nothing when the
    // client closed, stayed silent or sent more than the cap without it.
    std::optional<std::string> readUntil(std::string_view marker, std::chrono::milliseconds silence,
                                         size_t cap = 65536);
    // Exactly count bytes (an HTTP body, say); nothing when the client closed or stayed silent first.
    std::optional<std::string> read(size_t count, std::chrono::milliseconds silence);
    // Reads until the client closes or stays silent for the time given.
    void drain(std::chrono::milliseconds silence = std::chrono::seconds(5));
    // Ends the sending side; the client reads the end of the stream.
    void endSending();
    const std::string& received() const { return log; }

private:
    bool readMore(std::chrono::milliseconds silence);

    int fd;
    std::string pending;
    std::string log;
};

} // namespace pelimo::test
