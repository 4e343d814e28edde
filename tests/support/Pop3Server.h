#pragma once

#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

#include <cstdint>
#include <string>

namespace pelimo::test {

// A real POP3 server (dovecot) on loopback for the lifetime of the object, with the user
// "tester" and the password "s3cret". It needs root and the dovecot user (dovecot-pop3d).
class Pop3Server {
public:
    Pop3Server();
    // Empty when the server runs, otherwise why it does not.
    const std::string& startError() const { return error; }
    uint16_t port() const { return portNumber; }

private:
    TempFolder folder{"pelimo-pop3"};
    uint16_t portNumber = 0;
    std::string error;
    ChildProcess process;
};

} // namespace pelimo::test
