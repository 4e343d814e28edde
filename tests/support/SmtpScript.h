#pragma once

#include "tests/support/LoopbackListener.h"

#include <chrono>
#include <string>
#include <vector>

namespace pelimo::test {

// A script for LoopbackListener that plays an SMTP server: the greeting, then one reply from
// the list per command; after a 354 reply the message is read up to its end-of-data line,
// which takes the next reply; like the lenient servers that take a bare LF as a line end, a
// line of a lone "." ends the data whatever its line end is. Once the replies run out it reads
// until the client goes. The command lines land in *commands without their line ends ("DATA"
// stands for the data too). With a pause, the greeting and every reply go out a byte at a time.
LoopbackListener::Script smtpScript(std::string greeting, std::vector<std::string> replies,
                                    std::vector<std::string>* commands,
                                    std::chrono::milliseconds pause = std::chrono::milliseconds(0));

} // namespace pelimo::test
