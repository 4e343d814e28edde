#pragma once

#include "settings/EnvSettings.h"

namespace pelimo::test {

// Settings that send alert mail from and to made-up addresses through a test server on
// loopback at `port`.
inline void mailThrough(EnvSettings& settings, int port)
{
    settings.smtpHost = "127.0.0.1";
    settings.smtpPort = port;
    settings.mailFrom = "watch@example.test";
    settings.mailTo = "user@example.test";
}

} // namespace pelimo::test
