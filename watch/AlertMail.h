#pragma once

#include "mail/MailSettings.h"
#include "watch/WatchList.h"

namespace pelimo {

// The mail fields of the user's settings, as the mail subsystem takes them.
MailSettings mailSettingsFrom(const EnvSettings& settings);

// The alert mailer of the program: the mail subsystem's SMTP delivery (with POP before SMTP
// when the settings ask for it).
AlertMailer smtpAlertMailer();

} // namespace pelimo
