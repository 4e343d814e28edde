#pragma once

#include "mail/MailSettings.h"
#include "mail/SendAlertMail.h"
#include "settings/EnvSettings.h"

#include <string>

namespace pelimo {

// The mail fields of the user's settings, as the mail subsystem takes them.
MailSettings mailSettingsFrom(const EnvSettings& settings);

// Mails the alert text as the settings say, plain or encrypted (with POP before SMTP when they
// ask for it), for the alarm delivery and the settings dialog's test alike. Progress goes to
// the status sink; true when the server took the mail.
bool mailAlarms(const EnvSettings& settings, const std::string& alertText, const StatusSink& status,
                const MailTimeouts& timeouts = {});

} // namespace pelimo
