#include "mail/CurlSmtpSender.h"

#include "mail/InterruptibleCurl.h"
#include "mail/MimeMessage.h"
#include "mail/SmtpConnection.h"
#include "platform/Environment.h"

#include <algorithm>
#include <cstring>
#include <curl/curl.h>
#include <memory>
#include <vector>

namespace pelimo {
namespace {

// The message as the transport takes it: curl doubles line-leading dots and adds the
// end-of-data line itself.
class StringSink final : public MessageSink {
public:
    bool writeAll(std::string_view bytes) override
    {
        text.append(bytes);
        return true;
    }
    std::string text;
};

struct Upload {
    const std::string* bytes = nullptr;
    size_t offset = 0;
};

size_t readMessage(char* buffer, size_t size, size_t count, void* userData)
{
    auto* upload = static_cast<Upload*>(userData);
    const size_t n = std::min(size * count, upload->bytes->size() - upload->offset);
    std::memcpy(buffer, upload->bytes->data() + upload->offset, n);
    upload->offset += n;
    return n;
}

struct Progress {
    const StatusSink* status = nullptr;
    std::string sendToText;
    bool shown = false;
};

// Watches the commands curl sends, only to show "SEND TO" when the envelope starts (after
// the TLS handshake and the login). Nothing is logged: the login passes here too.
int watchCommands(CURL*, curl_infotype type, char* data, size_t size, void* userData)
{
    auto* progress = static_cast<Progress*>(userData);
    if (type == CURLINFO_HEADER_OUT && !progress->shown &&
        std::string_view(data, size).starts_with("MAIL FROM:")) {
        progress->shown = true;
        if (*progress->status)
            (*progress->status)(progress->sendToText);
    }
    return 0;
}

// A host name or a dotted or IPv6 address, as it may stand in a URL; nothing else.
std::optional<std::string> urlHost(const std::string& host)
{
    if (host.empty())
        return std::nullopt;
    const bool name = std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
               c == '-';
    });
    if (name)
        return host;
    const bool ipv6 = std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= '0' && c <= '9') || c == ':' ||
               c == '.';
    });
    if (ipv6)
        return "[" + host + "]";
    return std::nullopt;
}

// Whole seconds, at least one: curl's reply bound counts in seconds.
long ceilSeconds(std::chrono::milliseconds ms)
{
    return std::max<long>(1, static_cast<long>((ms.count() + 999) / 1000));
}

bool hasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

} // namespace

bool sendWithCurl(const SmtpSubmission& server, const MimeMessage& message, const StatusSink& status,
                  const MailTimeouts& timeouts)
{
    const auto show = [&status](const std::string& text) {
        if (status)
            status(text);
    };
    show("CONNECT TO SMTP");

    const std::string& from = message.senderAddress();
    const std::vector<std::string> recipients = splitRecipientList(message.recipientAddresses());
    const auto host = urlHost(server.host);
    // A line break in an envelope address or in the login would add commands of its own.
    if (!host || server.port == 0 || recipients.empty() || hasLineBreak(from) ||
        std::any_of(recipients.begin(), recipients.end(),
                    [](const std::string& r) { return hasLineBreak(r); }) ||
        hasLineBreak(server.user) || hasLineBreak(server.password) || !message.headerValuesAreClean())
        return false;

    StringSink sink;
    if (!message.write(sink, true, false))
        return false;

    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!initialised)
        return false;
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy)
        return false;
    CURL* e = easy.get();

    const char* scheme = server.security == SmtpSecurity::implicitTls ? "smtps://" : "smtp://";
    const std::string url = scheme + *host + ":" + std::to_string(server.port);
    std::unique_ptr<curl_slist, ListDeleter> rcpt;
    for (const std::string& r : recipients) {
        curl_slist* grown = curl_slist_append(rcpt.get(), ("<" + r + ">").c_str());
        if (grown == nullptr)
            return false;
        rcpt.release();
        rcpt.reset(grown);
    }
    const std::string mailFrom = "<" + from + ">";
    Upload upload{&sink.text, 0};
    std::string shownRecipients;
    for (const std::string& r : recipients)
        shownRecipients += (shownRecipients.empty() ? "" : ",") + r;
    Progress progress{&status, "SEND TO " + shownRecipients, false};

    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    // RFC 8314: the mail and the login never travel in clear text; no STARTTLS, no mail.
    curl_easy_setopt(e, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    // libcurl keeps its own default bundle; the variable OpenSSL programs honour wins here too.
    const auto bundle = platform::environmentValue("SSL_CERT_FILE");
    if (bundle && !bundle->empty())
        curl_easy_setopt(e, CURLOPT_CAINFO, bundle->c_str());
    if (!server.user.empty()) {
        curl_easy_setopt(e, CURLOPT_USERNAME, server.user.c_str());
        curl_easy_setopt(e, CURLOPT_PASSWORD, server.password.c_str());
    }
    curl_easy_setopt(e, CURLOPT_MAIL_FROM, mailFrom.c_str());
    curl_easy_setopt(e, CURLOPT_MAIL_RCPT, rcpt.get());
    curl_easy_setopt(e, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(e, CURLOPT_READFUNCTION, readMessage);
    curl_easy_setopt(e, CURLOPT_READDATA, &upload);
    curl_easy_setopt(e, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(sink.text.size()));
    curl_easy_setopt(e, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(e, CURLOPT_DEBUGFUNCTION, watchCommands);
    curl_easy_setopt(e, CURLOPT_DEBUGDATA, &progress);
    // Bounds: the connection (with the TLS handshake), each reply, a stalled transfer, and
    // the whole exchange as the sum of its steps.
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.smtpConnect.count()));
    curl_easy_setopt(e, CURLOPT_SERVER_RESPONSE_TIMEOUT, ceilSeconds(timeouts.io));
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, ceilSeconds(timeouts.io));
    const auto steps = static_cast<long>(8 + recipients.size());
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(timeouts.smtpConnect.count()) +
                         steps * ceilSeconds(timeouts.io) * 1000L);

    const CURLcode result = performInterruptibly(e, timeouts.interrupt);
    if (result == CURLE_OK) {
        show(std::string());
        return true;
    }
    if (result == CURLE_LOGIN_DENIED)
        show(kSmtpLoginRefusedText);
    else if (result == CURLE_PEER_FAILED_VERIFICATION || result == CURLE_SSL_CACERT_BADFILE)
        show(kSmtpCertificateRefusedText);
    return false;
}

} // namespace pelimo
