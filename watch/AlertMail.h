#pragma once

#include "watch/WatchList.h"

namespace pelimo {

// The alert mailer of the program: the mail subsystem's SMTP delivery (with POP before SMTP
// when the settings ask for it).
AlertMailer smtpAlertMailer();

} // namespace pelimo
