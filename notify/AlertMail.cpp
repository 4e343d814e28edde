#include "notify/AlertMail.h"

namespace pelimo {

MailSettings mailSettingsFrom(const EnvSettings& settings)
{
    MailSettings mail;
    mail.popBeforeSmtp = isOn(settings.popBeforeSmtp);
    mail.pop3Host = settings.pop3Host;
    mail.pop3Port = settings.pop3Port;
    mail.pop3User = settings.pop3User;
    mail.pop3Password = settings.pop3Password;
    mail.smtpHost = settings.smtpHost;
    mail.smtpPort = settings.smtpPort;
    mail.mailFrom = settings.mailFrom;
    mail.mailTo = settings.mailTo;
    mail.encryption = settings.ext.mailEncryption;
    mail.smtpUser = settings.ext.smtpUser;
    mail.smtpPassword = settings.ext.smtpPassword;
    return mail;
}

bool mailAlarms(const EnvSettings& settings, const std::string& alertText, const StatusSink& status,
                const MailTimeouts& timeouts)
{
    return SendAlertMail(mailSettingsFrom(settings), alertText, status, timeouts);
}

} // namespace pelimo
