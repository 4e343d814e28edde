#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pelimo::test {

// A real SMTP server (aiosmtpd, tests/support/smtp_sink.py) on loopback for the lifetime of
// the object; each delivered mail lands in a file of its folder.
class SmtpSink {
public:
    // Starts the server; extra arguments go to the script.
    explicit SmtpSink(std::vector<std::string> scriptArguments = {});
    // Empty when the server runs, otherwise why it does not.
    const std::string& startError() const { return error; }
    uint16_t port() const { return portNumber; }

    // Each mail: envelope lines ("MAIL FROM:<...>", "RCPT TO:<...>"), "DATA", then the bytes.
    std::vector<std::string> mails() const;
    // Each mail's DATA bytes alone, as the client sent them (dots unstuffed), in arrival order.
    std::vector<std::string> messages() const;

private:
    TempFolder folder{"pelimo-smtp"};
    uint16_t portNumber = 0;
    std::string error;
    ChildProcess process;
};

} // namespace pelimo::test
