#pragma once

#include "mail/MessageSink.h"
#include "platform/net/Socket.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelimo {

class MimeMessage;

// The addresses of a recipient list: separated by spaces, commas or semicolons, without the
// whitespace around them; empty ones (a trailing blank, two separators in a row) are skipped.
std::vector<std::string> splitRecipientList(std::string_view list);

// How long a whole reply, a whole reply line or a whole write of the mail clients may take
// once connected.
inline constexpr std::chrono::milliseconds kMailIoTimeout{30000};

// Delivers one message to an SMTP server (RFC 5321): HELO, MAIL FROM, RCPT TO, DATA, the
// message and the end-of-data line. No extensions, no authentication; the connection is
// closed without QUIT. Each reply is read up to its last line, however it is delivered, within
// one deadline for the whole reply.
class SmtpConnection final : private MessageSink {
public:
    // A raised interrupt ends every wait at once, as failed.
    explicit SmtpConnection(std::chrono::milliseconds ioTimeout = kMailIoTimeout,
                            const platform::WaitInterrupt* interrupt = nullptr);
    ~SmtpConnection() override;
    SmtpConnection(const SmtpConnection&) = delete;
    SmtpConnection& operator=(const SmtpConnection&) = delete;

    // Connects, waiting at most the time-out for the TCP connection, then takes the greeting
    // (220) and says HELO with the local host name (250).
    bool connect(const std::string& host, uint16_t port, std::chrono::milliseconds timeout);

    // Sends the message. Without explicit recipients (a list as splitRecipientList reads it)
    // or sender, the envelope takes them from the message. A list without an address fails
    // before anything is sent.
    bool sendMessage(const MimeMessage& message, const std::optional<std::string>& recipients = std::nullopt,
                     const std::optional<std::string>& sender = std::nullopt);

    // Closes the connection; false when none was open.
    bool close();

    bool isConnected() const { return socket.isOpen(); }

private:
    bool writeAll(std::string_view bytes) override;
    std::optional<std::string> receiveReply();
    bool command(std::string_view text, std::string_view expectedCode);
    bool sendRecipients(const std::vector<std::string>& addresses);
    bool sendRecipient(std::string_view address);
    bool reset();

    platform::Socket socket;
    std::chrono::milliseconds ioTimeout;
    const platform::WaitInterrupt* interrupt;
    // Set while the message itself is written.
    std::optional<platform::Deadline> messageDeadline;
};

} // namespace pelimo
