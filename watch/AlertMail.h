#pragma once

#include "mail/MailSettings.h"
#include "watch/WatchList.h"

namespace pelimo {

// The mail fields of the user's settings, as the mail subsystem takes them.
MailSettings mailSettingsFrom(const EnvSettings& settings);

// The alert mailer of the program, for the watch cycle and the settings dialog's test alike:
// the mail subsystem's delivery, plain or encrypted as the settings say (with POP before SMTP
// when they ask for it).
AlertMailer smtpAlertMailer();

} // namespace pelimo
