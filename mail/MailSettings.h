#pragma once

#include <cstdint>
#include <string>

namespace pelimo {

// What one alert mail attempt needs to know: the servers, the login for POP before SMTP and
// the addresses. Strings are Shift-JIS, as the user typed them.
struct MailSettings {
    bool popBeforeSmtp = false;
    std::string pop3Host;
    int32_t pop3Port = 110;
    std::string pop3User;
    std::string pop3Password;
    std::string smtpHost;
    // Outside 1..65535 (an empty setting reads as 0) the standard port 25 is used.
    int32_t smtpPort = 25;
    std::string mailFrom;
    // One or more addresses separated by spaces, commas or semicolons.
    std::string mailTo;
};

} // namespace pelimo
