#include "mail/SmtpConnection.h"

#include "mail/MimeMessage.h"
#include "platform/text/NumberText.h"

#include <algorithm>
#include <array>

namespace pelimo {
namespace {

// Room for a command with its line end, as RFC 5321 section 4.5.3.1.4 allows.
constexpr size_t kCommandCapacity = 1000;
constexpr size_t kRecipientCommandCapacity = 999;
// An address in a recipient list may hold at most this many characters.
constexpr size_t kMaxRecipientLength = 988;
constexpr size_t kReplyCapacity = 1000;

bool isClean(std::string_view argument)
{
    return argument.find_first_of("\r\n") == std::string_view::npos;
}

// Ends an address in a recipient list; blanks around an address are no part of it. A line
// break is not one: it stays in the address, and the mail is refused for it.
bool isSeparator(char c)
{
    return c == ' ' || c == ',' || c == ';' || c == '\t' || c == '\v' || c == '\f';
}

// Whether the text ends with the last line of a reply: a line end after a line whose fourth
// character is not the continuation hyphen.
bool isCompleteReply(std::string_view text)
{
    if (!text.ends_with('\n'))
        return false;
    const size_t previous = text.find_last_of('\n', text.size() - 2);
    const std::string_view last = text.substr(previous == std::string_view::npos ? 0 : previous + 1);
    return last.size() < 4 || last[3] != '-';
}

} // namespace

std::vector<std::string> splitRecipientList(std::string_view list)
{
    std::vector<std::string> addresses;
    size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && isSeparator(list[i]))
            ++i;
        const size_t start = i;
        while (i < list.size() && !isSeparator(list[i]))
            ++i;
        if (i > start)
            addresses.emplace_back(list.substr(start, i - start));
    }
    return addresses;
}

SmtpConnection::SmtpConnection(std::chrono::milliseconds timeout, const platform::WaitInterrupt* i)
    : ioTimeout(timeout), interrupt(i)
{}

SmtpConnection::~SmtpConnection()
{
    close();
}

bool SmtpConnection::connect(const std::string& host, uint16_t port, std::chrono::milliseconds timeout)
{
    if (socket.isOpen())
        return false;
    const auto address = platform::resolveIpv4(host);
    if (!address)
        return false;
    auto connected = platform::connectTcp(*address, port, timeout, interrupt);
    if (!connected)
        return false;
    socket = std::move(*connected);

    const auto greeting = receiveReply();
    const auto hostName = platform::localHostName();
    if (!greeting || !greeting->starts_with("220") || !hostName || !isClean(*hostName) ||
        !command("HELO " + *hostName + "\r\n", "250")) {
        close();
        return false;
    }
    return true;
}

bool SmtpConnection::sendMessage(const MimeMessage& message, const std::optional<std::string>& recipients,
                                 const std::optional<std::string>& sender)
{
    if (!socket.isOpen())
        return false;
    const std::string& from = sender ? *sender : message.senderAddress();
    const std::string to = recipients ? *recipients : message.recipientAddresses();
    // A line break in an address or a header value would smuggle commands or header lines
    // into the session: such a mail is refused before anything is written.
    if (!isClean(from) || !isClean(to) || !message.headerValuesAreClean())
        return false;
    // A list that names no mailbox, or one too long for its RCPT command, fails before the
    // transaction starts: RCPT TO:<> would be refused and fail every mail.
    const std::vector<std::string> addresses = splitRecipientList(to);
    if (addresses.empty() || std::any_of(addresses.begin(), addresses.end(),
                                         [](const std::string& a) { return a.size() > kMaxRecipientLength; }))
        return false;
    if (!command("MAIL FROM:<" + from + ">\r\n", "250"))
        return false;
    if (!sendRecipients(addresses)) {
        reset();
        return false;
    }
    if (!command("DATA\r\n", "354")) {
        reset();
        return false;
    }
    messageDeadline = platform::deadlineAfter(ioTimeout);
    const bool written = message.write(*this, true);
    messageDeadline.reset();
    if (!written)
        return false;
    return command("\r\n.\r\n", "250");
}

bool SmtpConnection::sendRecipients(const std::vector<std::string>& addresses)
{
    return std::all_of(addresses.begin(), addresses.end(),
                       [this](const std::string& address) { return sendRecipient(address); });
}

bool SmtpConnection::sendRecipient(std::string_view address)
{
    std::string text = "RCPT TO:<";
    text += address;
    text += ">\r\n";
    if (text.size() > kRecipientCommandCapacity || !writeAll(text))
        return false;
    const auto reply = receiveReply();
    if (!reply)
        return false;
    // RFC 5321 section 3.3: 251 means the server forwards the mail; it is accepted too.
    const int32_t code = leadingInteger(*reply);
    return code == 250 || code == 251;
}

bool SmtpConnection::reset()
{
    if (!command("RSET\r\n", "250")) {
        close();
        return false;
    }
    return true;
}

bool SmtpConnection::close()
{
    return socket.close();
}

bool SmtpConnection::writeAll(std::string_view bytes)
{
    // The message comes in chunks that share the deadline of the whole message.
    return socket.sendAll(bytes, messageDeadline ? *messageDeadline : platform::deadlineAfter(ioTimeout));
}

std::optional<std::string> SmtpConnection::receiveReply()
{
    // RFC 5321 section 4.2.1: a reply ends with the line whose code is followed by a space (or
    // nothing). TCP may deliver it in pieces; taking one piece as the whole reply would leave
    // the rest to be read as the reply to the next command. Up to the buffer's capacity. The
    // whole reply has one deadline, so a server that trickles it cannot hold the caller.
    const platform::Deadline deadline = platform::deadlineAfter(ioTimeout);
    std::array<char, kReplyCapacity> buffer{};
    size_t filled = 0;
    while (filled < buffer.size()) {
        const auto received = socket.receiveOnce(buffer.data() + filled, buffer.size() - filled, deadline);
        if (!received)
            return std::nullopt;
        if (*received == 0)
            break;
        filled += *received;
        if (isCompleteReply(std::string_view(buffer.data(), filled)))
            break;
    }
    return std::string(buffer.data(), filled);
}

bool SmtpConnection::command(std::string_view text, std::string_view expectedCode)
{
    if (text.size() > kCommandCapacity || !writeAll(text))
        return false;
    const auto reply = receiveReply();
    return reply && reply->starts_with(expectedCode);
}

} // namespace pelimo
