#include "notify/AlertMail.h"

#include "mail/CurlSmtpSender.h"
#include "settings/SettingsStore.h"
#include "tests/support/SmtpSink.h"
#include "tests/support/TestCertificates.h"

#include <gtest/gtest.h>

namespace pelimo {
namespace {

const test::TestCertificates& certificates()
{
    static const test::TestCertificates made;
    return made;
}

// The message bytes after the Date line, which may differ by a second between two mails.
std::string afterDate(const std::string& message)
{
    return message.substr(message.find("\r\n") + 2);
}

// The one alert mailer picks the plain dialogue or the submission client by the encryption
// setting, and both carry the same message.
TEST(AlertMail, ChoosesTheDeliveryByTheEncryptionSetting)
{
    ASSERT_EQ(certificates().startError(), "");
    struct Case {
        const char* name;
        int32_t encryption;
        const char* tls; // nullptr: a plain server without login
        std::string bundle;
        std::string password;
        bool sent;
        std::string lastText;
    };
    const std::string trusted = certificates().caFile();
    const std::vector<Case> cases{
        {"none: the plain dialogue", 0, nullptr, trusted, "s3cret", true, ""},
        {"STARTTLS with a login", 1, "starttls", trusted, "s3cret", true, ""},
        {"TLS from the start with a login", 2, "implicit", trusted, "s3cret", true, ""},
        {"wrong password", 1, "starttls", trusted, "wrong", false, kSmtpLoginRefusedText},
        {"certificate not trusted", 1, "starttls", certificates().otherCaFile(), "s3cret", false,
         kSmtpCertificateRefusedText},
    };
    std::string plainMessage;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::SmtpSink server(c.tls ? certificates().submissionArguments(c.tls) : std::vector<std::string>{});
        ASSERT_EQ(server.startError(), "");
        const test::TrustedBundle trust(c.bundle);
        EnvSettings settings = defaultSettings();
        settings.alarmMail = 1;
        settings.smtpHost = "127.0.0.1";
        settings.smtpPort = server.port();
        settings.mailFrom = "watch@example.test";
        settings.mailTo = "user@example.test";
        settings.ext.mailEncryption = c.encryption;
        settings.ext.smtpUser = "tester";
        settings.ext.smtpPassword = c.password;

        std::vector<std::string> status;
        const bool sent = mailAlarms(settings, "alarm line\n",
                                     [&status](const std::string& text) { status.push_back(text); });
        EXPECT_EQ(sent, c.sent);
        ASSERT_FALSE(status.empty());
        EXPECT_EQ(status.front(), "CONNECT TO SMTP");
        EXPECT_EQ(status.back(), c.lastText);
        for (const std::string& text : status)
            EXPECT_EQ(text.find(c.password), std::string::npos) << text;

        const std::vector<std::string> mails = server.mails();
        ASSERT_EQ(mails.size(), c.sent ? 1u : 0u);
        if (!c.sent)
            continue;
        EXPECT_TRUE(
            mails[0].starts_with("MAIL FROM:<watch@example.test>\nRCPT TO:<user@example.test>\nDATA\n"))
            << mails[0];
        const std::string message = server.messages()[0];
        // The plain dialogue's end-of-data line "\r\n.\r\n" comes after the message's own line
        // end, so the server keeps one empty line more there; the message is the same.
        if (plainMessage.empty())
            plainMessage = message;
        else
            EXPECT_EQ(afterDate(message) + "\r\n", afterDate(plainMessage));
    }
}

} // namespace
} // namespace pelimo
