#include "mail/CurlSmtpSender.h"

#include "mail/MimeMessage.h"
#include "tests/support/LoopbackListener.h"
#include "tests/support/SmtpSink.h"
#include "tests/support/TestCertificates.h"

#include <gtest/gtest.h>

namespace pelimo {
namespace {

using namespace std::chrono_literals;

constexpr MailTimeouts kWaits{5000ms, 5000ms, 2000ms};

const test::TestCertificates& certificates()
{
    static const test::TestCertificates made;
    return made;
}

MimeMessage alertMessage()
{
    MimeMessage message(createTextConversionService());
    message.setSender("watcher@example.com");
    message.addRecipient("owner@example.net");
    message.addText("alert\n.\nsecond line\n", 1, 0);
    message.setSubject("Alert", 0);
    message.setClock([] { return std::time_t{1796515501}; });
    return message;
}

struct StatusLog {
    StatusSink sink()
    {
        return [this](const std::string& text) {
            texts.push_back(text);
        };
    }
    std::vector<std::string> texts;
};

class Capture final : public MessageSink {
public:
    bool writeAll(std::string_view bytes) override
    {
        text.append(bytes);
        return true;
    }
    std::string text;
};

TEST(CurlSmtpSender, SubmitsTheMessageOverTlsWithALogin)
{
    ASSERT_EQ(certificates().startError(), "");
    const test::TrustedBundle trust(certificates().caFile());
    const MimeMessage message = alertMessage();
    Capture expected;
    ASSERT_TRUE(message.write(expected, true, false));

    for (const auto security : {SmtpSecurity::startTls, SmtpSecurity::implicitTls}) {
        const bool starttls = security == SmtpSecurity::startTls;
        SCOPED_TRACE(starttls ? "STARTTLS" : "TLS from the start");
        test::SmtpSink server(certificates().submissionArguments(starttls ? "starttls" : "implicit"));
        ASSERT_EQ(server.startError(), "");
        StatusLog status;
        ASSERT_TRUE(sendWithCurl({"127.0.0.1", server.port(), security, "tester", "s3cret"}, message,
                                 status.sink(), kWaits));
        EXPECT_EQ(status.texts,
                  (std::vector<std::string>{"CONNECT TO SMTP", "SEND TO owner@example.net", std::string()}));
        const auto mails = server.mails();
        ASSERT_EQ(mails.size(), 1u);
        // The same bytes as the plain client sends; the server took curl's doubled dot off.
        EXPECT_EQ(mails[0],
                  "MAIL FROM:<watcher@example.com>\nRCPT TO:<owner@example.net>\nDATA\n" + expected.text);
    }
}

TEST(CurlSmtpSender, RefusesToSendWithoutTrustOrLogin)
{
    ASSERT_EQ(certificates().startError(), "");
    test::SmtpSink server(certificates().submissionArguments("starttls"));
    ASSERT_EQ(server.startError(), "");
    struct Case {
        const char* name;
        std::string bundle;
        std::string password;
        std::string lastText;
    };
    const std::vector<Case> cases{
        {"login refused", certificates().caFile(), "wrong", kSmtpLoginRefusedText},
        {"certificate of an authority not trusted", certificates().otherCaFile(), "s3cret",
         kSmtpCertificateRefusedText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::TrustedBundle trust(c.bundle);
        StatusLog status;
        EXPECT_FALSE(sendWithCurl({"127.0.0.1", server.port(), SmtpSecurity::startTls, "tester", c.password},
                                  alertMessage(), status.sink(), kWaits));
        ASSERT_FALSE(status.texts.empty());
        EXPECT_EQ(status.texts.back(), c.lastText);
    }
    EXPECT_TRUE(server.mails().empty());

    // A server that accepts and never answers ends the attempt by the reply bound.
    test::LoopbackListener silent([](test::LoopbackPeer& peer) { peer.drain(5s); });
    StatusLog status;
    EXPECT_FALSE(sendWithCurl({"127.0.0.1", silent.port(), SmtpSecurity::startTls, "tester", "s3cret"},
                              alertMessage(), status.sink(), {1000ms, 1000ms, 1000ms}));
    EXPECT_EQ(status.texts, std::vector<std::string>{"CONNECT TO SMTP"});
}

} // namespace
} // namespace pelimo
