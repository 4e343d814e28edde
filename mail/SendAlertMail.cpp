#include "mail/SendAlertMail.h"

#include "mail/CurlSmtpSender.h"
#include "mail/MimeMessage.h"
#include "mail/Pop3Client.h"
#include "mail/SmtpConnection.h"
#include "mail/TextConversionService.h"
#include "mail_texts.h"
#include "platform/text/SjisText.h"

namespace pelimo {
namespace {

constexpr uint16_t kDefaultSmtpPort = 25;
constexpr uint16_t kStartTlsPort = 587;    // RFC 6409 section 3.1
constexpr uint16_t kImplicitTlsPort = 465; // RFC 8314 section 7.3

// The setting's port, or the usual one when it is outside the valid range (an empty setting
// reads as 0).
uint16_t portOr(int32_t setting, uint16_t usual)
{
    return setting > 0 && setting <= 65535 ? static_cast<uint16_t>(setting) : usual;
}

// Cuts a Shift-JIS text to the status field's length without splitting a character. A
// server's reply comes with its line end, which the one-line status field would show as a
// second line.
std::string fitStatusText(std::string text)
{
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    return std::string(platform::cutSjis(text, kMaxStatusTextLength));
}

bool popBeforeSmtpLogin(const MailSettings& settings, const MailTimeouts& timeouts, const StatusSink& show)
{
    Pop3Client pop3(timeouts.io, timeouts.pop3Connect, timeouts.interrupt);
    std::string result;
    const bool ok = pop3.connect(settings.pop3Host, std::to_string(settings.pop3Port), result) &&
                    (show(result), pop3.user(settings.pop3User, result)) &&
                    (show(result), pop3.pass(settings.pop3Password, result));
    if (ok) {
        show(result);
        pop3.quit(result);
        show(result);
    }
    pop3.close();
    return ok;
}

} // namespace

bool SendAlertMail(const MailSettings& settings, const std::string& alertText, const StatusSink& status,
                   const MailTimeouts& timeouts)
{
    const auto show = [&status](const std::string& text) {
        if (status)
            status(fitStatusText(text));
    };

    if (settings.popBeforeSmtp && !popBeforeSmtpLogin(settings, timeouts, show))
        return false;

    MimeMessage message(createTextConversionService());
    message.setSender(settings.mailFrom);
    for (const std::string& address : splitRecipientList(settings.mailTo))
        message.addRecipient(address);
    message.setPriority(3);
    message.addText(alertText, 1, 0);
    message.setSubject(mail_texts::kAlertMailSubject, 0);

    // With encryption the message goes through the submission client, which shows its own steps.
    if (settings.encryption == 1 || settings.encryption == 2) {
        const bool implicit = settings.encryption == 2;
        const SmtpSubmission server{settings.smtpHost,
                                    portOr(settings.smtpPort, implicit ? kImplicitTlsPort : kStartTlsPort),
                                    implicit ? SmtpSecurity::implicitTls : SmtpSecurity::startTls,
                                    settings.smtpUser, settings.smtpPassword};
        return sendWithCurl(server, message, show, timeouts);
    }

    show("CONNECT TO SMTP");
    const uint16_t port = portOr(settings.smtpPort, kDefaultSmtpPort);
    SmtpConnection smtp(timeouts.io, timeouts.interrupt);
    bool sent = false;
    if (smtp.connect(settings.smtpHost, port, timeouts.smtpConnect)) {
        show("SEND TO " + settings.mailTo);
        sent = smtp.sendMessage(message);
    }
    if (sent)
        show(std::string());
    smtp.close();
    return sent;
}

} // namespace pelimo
