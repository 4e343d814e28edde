#pragma once

#include "mail/MessageSink.h"
#include "mail/MimeTextPart.h"
#include "mail/TextConversionService.h"

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

// "Date: Sun, 6 Dec 2026 09:05:01 +0900" for a broken-down local time whose tm_gmtoff holds
// the zone's offset east of UTC (RFC 5322 section 3.3).
std::string formatDateLine(const std::tm& local);

// A single-part plain-text Internet message (RFC 5322, RFC 2045) as the alert mail sends it:
// sender, To list, subject as an RFC 2047 encoded word, priority and the body parts.
class MimeMessage {
public:
    explicit MimeMessage(std::unique_ptr<TextConversionService> service);

    void setSender(std::string_view address) { sender.assign(address); }
    // Appends "<address>" to the To list, after ", " when it already holds an entry.
    void addRecipient(std::string_view address);
    void setPriority(int value) { priority = value; }
    // Adds a body part before the part at the 1-based position (appended past the end).
    bool addText(std::string_view text, int position, uint32_t codePage);
    bool setSubject(std::string_view text, uint32_t codePage);

    const std::string& senderAddress() const { return sender; }
    const std::string& toList() const { return to; }
    size_t partCount() const { return parts.size(); }

    // The addresses of the To list for the SMTP envelope, separated by ",".
    std::string recipientAddresses() const;

    // False when the sender, the To list or a subject that goes out unencoded holds a CR or
    // LF, which would start header lines of their own.
    bool headerValuesAreClean() const;

    // Writes the whole message with every body line end as CR LF and no body line longer
    // than 998 bytes; the SMTP format doubles a dot at the start of a line and continues
    // folded header lines with a TAB. Stops at the first failed write.
    bool write(MessageSink& sink, bool smtpFormat) const { return write(sink, smtpFormat, smtpFormat); }
    // The same, leaving the dots to a transport that doubles them itself.
    bool write(MessageSink& sink, bool smtpFormat, bool stuffDots) const;

    // The local time used for the Date line; the real clock unless a test sets another.
    void setClock(std::function<std::time_t()> now) { clock = std::move(now); }

private:
    std::string encodedSubject() const;
    bool writeBody(MessageSink& sink, const MimeTextPart& part, bool stuffDots) const;

    std::unique_ptr<TextConversionService> service;
    std::string sender;
    std::string to;
    std::string subject;
    std::string subjectCharset;
    int priority = 3;
    std::vector<MimeTextPart> parts;
    std::function<std::time_t()> clock;
};

} // namespace pelimo
