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
    // Outside 1..65535 (an empty setting reads as 0) the usual port of the encryption is used:
    // 25 without, 587 with STARTTLS, 465 with TLS from the start.
    int32_t smtpPort = 25;
    // 0 (or any value but 1 and 2): the plain port-25 dialogue, no login. 1: STARTTLS, 2: TLS from
    // the first byte; both through the submission client, with a login when a user is given.
    int32_t encryption = 0;
    std::string smtpUser;
    std::string smtpPassword;
    std::string mailFrom;
    // One or more addresses separated by spaces, commas or semicolons.
    std::string mailTo;
};

} // namespace pelimo
