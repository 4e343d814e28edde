#include "watch/AlertMail.h"

#include "mail/SendAlertMail.h"

namespace pelimo {

AlertMailer smtpAlertMailer()
{
    return [](const EnvSettings& settings, const std::string& alertText, const MailStatusSink& status) {
        return SendAlertMail(settings, alertText, status);
    };
}

} // namespace pelimo
