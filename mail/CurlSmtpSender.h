#pragma once

#include "mail/SendAlertMail.h"

#include <cstdint>
#include <string>

namespace pelimo {

class MimeMessage;

// How the connection to a mail submission server is protected.
enum class SmtpSecurity {
    startTls,    // plain connect, then STARTTLS before anything else (usually port 587)
    implicitTls, // TLS from the first byte (usually port 465)
};

// A mail submission server and the login on it.
struct SmtpSubmission {
    std::string host;
    uint16_t port = 587;
    SmtpSecurity security = SmtpSecurity::startTls;
    // Empty: no AUTH.
    std::string user;
    std::string password;
};

// Status texts of the submission beyond those of the plain SMTP flow.
inline constexpr const char* kSmtpLoginRefusedText = "SMTP LOGIN REFUSED";
inline constexpr const char* kSmtpCertificateRefusedText = "SMTP CERTIFICATE NOT TRUSTED";

// Delivers the message through libcurl's SMTP client: EHLO, TLS (required, never optional),
// AUTH when a user is given, MAIL FROM, RCPT TO and the message bytes as MimeMessage writes
// them. The server's certificate must verify against the system's CA store, or against the
// bundle that SSL_CERT_FILE names when it is set. Shows "CONNECT TO SMTP", then "SEND TO"
// with the recipients once the server takes the envelope, and an empty text on success; a
// refused login or an untrusted certificate shows a text of its own. Every wait is bounded:
// the connection by the connect time, each reply by the I/O time; the timeouts' interrupt
// ends them all at once.
bool sendWithCurl(const SmtpSubmission& server, const MimeMessage& message, const StatusSink& status,
                  const MailTimeouts& timeouts = {});

} // namespace pelimo
