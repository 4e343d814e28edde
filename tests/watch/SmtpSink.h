#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace pelimo::test {

// A real SMTP server (aiosmtpd) on loopback for the lifetime of the object; the messages it
// accepted are read back from its folder.
class SmtpSink {
public:
    explicit SmtpSink(std::string folder);
    ~SmtpSink();
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;

    int port() const { return listeningPort; }
    // The raw DATA of every accepted message, in arrival order.
    std::vector<std::string> messages() const;

private:
    std::string folder;
    pid_t pid = -1;
    int stdinFd = -1;
    int listeningPort = 0;
};

} // namespace pelimo::test
