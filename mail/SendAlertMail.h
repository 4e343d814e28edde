#pragma once

#include "mail/MailSettings.h"

#include <chrono>
#include <functional>
#include <string>

namespace pelimo {

namespace platform {
class WaitInterrupt;
}

// Receives each progress text of the mail attempt for the status bar, synchronously.
using StatusSink = std::function<void(const std::string& sjisText)>;

// The waits of one mail attempt, and what ends them all at once when the program ends.
struct MailTimeouts {
    std::chrono::milliseconds smtpConnect{10000};
    std::chrono::milliseconds pop3Connect{30000};
    std::chrono::milliseconds io{30000};
    const platform::WaitInterrupt* interrupt = nullptr;
};

// Status texts longer than this are cut, at a character boundary.
inline constexpr size_t kMaxStatusTextLength = 1023;

// Mails the alert text to the configured recipient, after a POP3 login when the settings ask
// for POP before SMTP: in the plain SMTP dialogue, or with encryption 1 or 2 through the
// submission client (sendWithCurl) with the same message bytes. Progress goes to the status
// sink, never a password; true when the server took the mail.
bool SendAlertMail(const MailSettings& settings, const std::string& alertText, const StatusSink& status,
                   const MailTimeouts& timeouts = {});

} // namespace pelimo
