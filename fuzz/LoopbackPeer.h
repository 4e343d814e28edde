#pragma once

#include "tests/support/LoopbackListener.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace pelimo::fuzz {

// One loopback listener per fuzz process (the tests' own); each input is one connection to it.
inline test::LoopbackListener& listener()
{
    static test::LoopbackListener shared;
    if (shared.port() == 0)
        abort();
    return shared;
}

inline uint16_t listenerPort()
{
    return listener().port();
}

// The server side of one connection: with readFirst, waits for the end of a request's
// header (at most a second); writes the bytes, ends its sending side, and reads whatever the
// client says until it closes (or a second passes).
inline void serve(std::string bytes, bool readFirst)
{
    using namespace std::chrono_literals;
    const auto peer = listener().accept(10s);
    if (!peer)
        abort();
    if (readFirst)
        peer->readUntil("\r\n\r\n", 1s);
    peer->send(bytes);
    peer->endSending();
    peer->drain(1s);
}

} // namespace pelimo::fuzz
