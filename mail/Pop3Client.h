#pragma once

#include "platform/net/Socket.h"

#include <chrono>
#include <optional>
#include <string>

namespace pelimo {

// A blocking POP3 client for the POP-before-SMTP login (RFC 1939): greeting, USER, PASS and
// QUIT. Every step gives a result text: the server's reply line with its line end,
// "cannot connect %s:%s" or "ReadLine error".
class Pop3Client {
public:
    // A reply line longer than this fails; no server sends one for these commands.
    static constexpr size_t kMaxLineLength = 64 * 1024;

    // A raised interrupt ends every wait at once, as failed.
    explicit Pop3Client(std::chrono::milliseconds ioTimeout = std::chrono::milliseconds{30000},
                        std::chrono::milliseconds connectTimeout = std::chrono::milliseconds{30000},
                        const platform::WaitInterrupt* interrupt = nullptr);

    // Connects to the host and the port given as decimal text, then reads the greeting,
    // whatever it says.
    bool connect(const std::string& host, const std::string& port, std::string& result);
    bool user(const std::string& name, std::string& result);
    bool pass(const std::string& password, std::string& result);
    // Succeeds whatever the server answers, once a line has come.
    bool quit(std::string& result);
    void close();

    // One reply line with its line end, assembled from as many receives as it takes, all
    // within one deadline for the whole line.
    std::optional<std::string> readLine();

private:
    bool commandWithArgument(const char* verb, const std::string& argument, std::string& result);

    platform::Socket socket;
    std::chrono::milliseconds ioTimeout;
    std::chrono::milliseconds connectTimeout;
    const platform::WaitInterrupt* interrupt;
};

} // namespace pelimo
