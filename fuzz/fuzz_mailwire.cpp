// Bytes of a mail server, whatever they are: the POP3 login steps and the SMTP delivery end
// without a crash or a hang, and a reply line is never longer than what was sent.
#include "FuzzSupport.h"
#include "LoopbackPeer.h"
#include "mail/MimeMessage.h"
#include "mail/Pop3Client.h"
#include "mail/SmtpConnection.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

using namespace std::chrono_literals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    if (size < 1)
        return 0;
    const bool pop3 = (data[0] & 1) != 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string port = std::to_string(fuzz::listenerPort());
    std::thread server(fuzz::serve, bytes, false);

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
        if (connection.connect("127.0.0.1", fuzz::listenerPort(), 200ms)) {
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
