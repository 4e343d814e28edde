// Bytes of a mail server, whatever they are: the POP3 login steps and the SMTP delivery end
// without a crash or a hang, and a reply line is never longer than what was sent.
#include "FuzzSupport.h"
#include "mail/MimeMessage.h"
#include "mail/Pop3Client.h"
#include "mail/SmtpConnection.h"

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

int listener()
{
    static const int fd = [] {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(s, 4) != 0 || ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            abort();
        return s;
    }();
    return fd;
}

uint16_t listenerPort()
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(listener(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// The server side: writes the bytes, ends its sending side, and reads whatever the client
// says until it closes (or a second passes).
void serve(std::string bytes)
{
    const int fd = ::accept(listener(), nullptr, nullptr);
    if (fd < 0)
        abort();
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += static_cast<size_t>(n);
    }
    ::shutdown(fd, SHUT_WR);
    char sink[4096];
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 1000) > 0 && ::recv(fd, sink, sizeof sink, 0) > 0) {
    }
    ::close(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    if (size < 1)
        return 0;
    const bool pop3 = (data[0] & 1) != 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string port = std::to_string(listenerPort());
    std::thread server(serve, bytes);

    if (pop3) {
        Pop3Client client(200ms, 200ms);
        std::string result;
        if (client.connect("127.0.0.1", port, result) && client.user("tester", result) &&
            client.pass("s3cret", result))
            client.quit(result);
        // A reply is a line the server sent, or one of the client's own texts.
        PELIMO_FUZZ_REQUIRE(result.size() <= bytes.size() || result == "ReadLine error" ||
                            result.starts_with("cannot connect"));
        client.close();
    } else {
        SmtpConnection connection(200ms);
        if (connection.connect("127.0.0.1", listenerPort(), 200ms)) {
            MimeMessage message(nullptr);
            message.setSender("watch@example.com");
            message.addRecipient("user@example.com");
            message.addText("alert\r\n.\r\n", 1, 0);
            connection.sendMessage(message);
        }
        connection.close();
    }
    server.join();
    return 0;
}
