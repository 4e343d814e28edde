#include "mail/SendAlertMail.h"

#include "mail_test_texts.h"
#include "tests/support/LoopbackListener.h"
#include "tests/support/Pop3Server.h"
#include "tests/support/SmtpScript.h"
#include "tests/support/SmtpSink.h"

#include <gtest/gtest.h>
#include <regex>

namespace pelimo {
namespace {

using namespace std::chrono_literals;
namespace t = mail_test_texts;

// The mail settings a user fills in, with the defaults of a fresh env.ini.
MailSettings defaultSettings(uint16_t smtpPort)
{
    MailSettings s;
    s.smtpHost = "127.0.0.1";
    s.smtpPort = smtpPort;
    s.pop3Port = 110;
    s.mailFrom = "watcher@example.com";
    s.mailTo = "owner@example.net";
    return s;
}

std::string alarmLine(const std::string& no, const std::string& name, const std::string& price,
                      const std::string& remain)
{
    return std::string(t::kOpenBracket) + no + t::kCloseBracket + "\n" + name + "\n" + t::kPriceLabel +
           price + t::kRemainLabel + remain + "\n";
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

TEST(SendAlertMail, DeliversTheAlertMailByteForByte)
{
    test::SmtpSink server;
    ASSERT_EQ(server.startError(), "");
    const std::string alert = alarmLine("x1000001", t::kItemName1, "12,000", t::kRemain1) +
                              alarmLine("x1000002", t::kItemName2, "3,500", t::kRemain2) +
                              alarmLine("x1000003", t::kItemName3, "48,000", t::kRemain3);
    StatusLog status;
    ASSERT_TRUE(SendAlertMail(defaultSettings(server.port()), alert, status.sink()));
    EXPECT_EQ(status.texts,
              (std::vector<std::string>{"CONNECT TO SMTP", "SEND TO owner@example.net", std::string()}));

    const auto mails = server.mails();
    ASSERT_EQ(mails.size(), 1u);
    const std::string envelope = "MAIL FROM:<watcher@example.com>\nRCPT TO:<owner@example.net>\nDATA\n";
    ASSERT_TRUE(mails[0].starts_with(envelope)) << mails[0];
    const std::string message = mails[0].substr(envelope.size());
    const size_t dateEnd = message.find("\r\n");
    ASSERT_NE(dateEnd, std::string::npos);
    EXPECT_TRUE(std::regex_match(message.substr(0, dateEnd),
                                 std::regex("Date: (Sun|Mon|Tue|Wed|Thu|Fri|Sat), [1-9][0-9]? "
                                            "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{4} "
                                            "[0-2][0-9]:[0-5][0-9]:[0-6][0-9] [-+][0-9]{4}")))
        << message.substr(0, dateEnd);
    // The subject is the 12 bytes 83 41 83 89 81 5B 83 67 8F EE 95 F1 in base64; the body's
    // line ends go out as CR LF; the server got "\r\n.\r\n" after it.
    EXPECT_EQ(message.substr(dateEnd + 2), "From: <watcher@example.com>\r\n"
                                           "Subject: =?shift_jis?B?g0GDiYFbg2eP7pXx?=\r\n"
                                           "To: <owner@example.net>\r\n"
                                           "X-Priority: 3\r\n"
                                           "MIME-Version: 1.0\r\n"
                                           "Content-Type: text/plain;\r\n"
                                           "\tcharset=\"shift_jis\"\r\n"
                                           "Content-Transfer-Encoding: 8bit\r\n"
                                           "\r\n" +
                                               std::regex_replace(alert, std::regex("\n"), "\r\n") + "\r\n");
}

TEST(SendAlertMail, PopBeforeSmtpShowsEveryReplyInOrder)
{
    test::Pop3Server pop3;
    ASSERT_EQ(pop3.startError(), "");
    test::SmtpSink smtp;
    ASSERT_EQ(smtp.startError(), "");
    MailSettings settings = defaultSettings(smtp.port());
    settings.popBeforeSmtp = true;
    settings.pop3Host = "localhost";
    settings.pop3Port = pop3.port();
    settings.pop3User = "tester";
    settings.pop3Password = "s3cret";
    StatusLog status;
    ASSERT_TRUE(SendAlertMail(settings, "alert\n", status.sink()));
    ASSERT_EQ(status.texts.size(), 7u);
    // Each reply shows without its line end.
    EXPECT_TRUE(status.texts[0].starts_with("+OK") && !status.texts[0].ends_with("\n")) << status.texts[0];
    EXPECT_TRUE(status.texts[1].starts_with("+OK") && !status.texts[1].ends_with("\n")) << status.texts[1];
    EXPECT_EQ(status.texts[2], "+OK Logged in.");
    EXPECT_EQ(status.texts[3], "+OK Logging out.");
    EXPECT_EQ(std::vector<std::string>(status.texts.begin() + 4, status.texts.end()),
              (std::vector<std::string>{"CONNECT TO SMTP", "SEND TO owner@example.net", std::string()}));
    EXPECT_EQ(smtp.mails().size(), 1u);
}

TEST(SendAlertMail, RejectedPop3PasswordSendsNothing)
{
    test::Pop3Server pop3;
    ASSERT_EQ(pop3.startError(), "");
    test::SmtpSink smtp;
    ASSERT_EQ(smtp.startError(), "");
    MailSettings settings = defaultSettings(smtp.port());
    settings.popBeforeSmtp = true;
    settings.pop3Host = "127.0.0.1";
    settings.pop3Port = pop3.port();
    settings.pop3User = "tester";
    settings.pop3Password = "wrong";
    StatusLog status;
    EXPECT_FALSE(SendAlertMail(settings, "alert\n", status.sink()));
    // The greeting and the USER reply stay; the rejection itself is not shown.
    ASSERT_EQ(status.texts.size(), 2u);
    EXPECT_TRUE(status.texts[1].starts_with("+OK"));
    EXPECT_TRUE(smtp.mails().empty());
}

TEST(SendAlertMail, FailuresLeaveTheirStatusText)
{
    test::SmtpSink smtp;
    ASSERT_EQ(smtp.startError(), "");
    struct Case {
        const char* name;
        std::function<void(MailSettings&)> change;
        std::vector<std::string> texts;
    };
    const std::vector<Case> cases{
        {"no SMTP server",
         [](MailSettings& s) { s.smtpPort = test::freeLoopbackPort(); },
         {"CONNECT TO SMTP"}},
        {"unknown SMTP host",
         [](MailSettings& s) { s.smtpHost = "no-such-host.invalid"; },
         {"CONNECT TO SMTP"}},
        {"line break in the sender",
         [](MailSettings& s) { s.mailFrom = "a@x\r\nRCPT TO:<b@x>"; },
         {"CONNECT TO SMTP", "SEND TO owner@example.net"}},
        {"unreachable POP3 server",
         [](MailSettings& s) {
             s.popBeforeSmtp = true;
             s.pop3Host = "127.0.0.1";
             s.pop3Port = test::freeLoopbackPort();
         },
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MailSettings settings = defaultSettings(smtp.port());
        c.change(settings);
        StatusLog status;
        EXPECT_FALSE(SendAlertMail(settings, "alert\n", status.sink()));
        EXPECT_EQ(status.texts, c.texts);
    }
    EXPECT_TRUE(smtp.mails().empty());
}

// Blanks around an address and empty entries are no addresses: the mail goes to the others.
// A list that names nobody fails at "SEND TO" without a transaction.
TEST(SendAlertMail, RecipientListBlanksAreSkipped)
{
    test::SmtpSink server;
    ASSERT_EQ(server.startError(), "");
    struct Case {
        std::string mailTo;
        std::vector<std::string> rcpts; // empty: the attempt fails
        std::string toLine;
    };
    const std::vector<Case> cases{
        {"a@example.net ", {"a@example.net"}, "To: <a@example.net>"},
        {"a@example.net,,b@example.net",
         {"a@example.net", "b@example.net"},
         "To: <a@example.net>,\r\n\t<b@example.net>"},
        {" a@example.net ;\tb@example.net , ",
         {"a@example.net", "b@example.net"},
         "To: <a@example.net>,\r\n\t<b@example.net>"},
        {"", {}, ""},
        {" ,; ", {}, ""},
    };
    size_t delivered = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.mailTo + "\"");
        MailSettings settings = defaultSettings(server.port());
        settings.mailTo = c.mailTo;
        StatusLog status;
        const bool sent = SendAlertMail(settings, "alert\n", status.sink());
        EXPECT_EQ(sent, !c.rcpts.empty());
        const auto mails = server.mails();
        if (!sent) {
            EXPECT_EQ(status.texts, (std::vector<std::string>{"CONNECT TO SMTP", "SEND TO " + c.mailTo}));
            EXPECT_EQ(mails.size(), delivered);
            continue;
        }
        ASSERT_EQ(mails.size(), ++delivered);
        std::string envelope = "MAIL FROM:<watcher@example.com>\n";
        for (const std::string& r : c.rcpts)
            envelope += "RCPT TO:<" + r + ">\n";
        EXPECT_TRUE(mails.back().starts_with(envelope + "DATA\n")) << mails.back();
        EXPECT_NE(mails.back().find("\r\n" + c.toLine + "\r\nX-Priority: 3\r\n"), std::string::npos)
            << mails.back();
    }
}

// A listing's text is the seller's: whatever line breaks and dots it holds, it stays inside
// the mail's data. Every line end goes out as CR LF, so even a server that takes a bare LF as a
// line end (the scripted one) sees no end of the data and no command in it.
TEST(SendAlertMail, ListingTextStaysInsideTheData)
{
    test::SmtpSink real;
    ASSERT_EQ(real.startError(), "");
    const std::vector<std::string> titles{
        std::string(t::kItemName2) + "\n.\nMAIL FROM:<x@example.com>",
        std::string(t::kItemName2) + "\r.\rRSET\r\n.\r\nQUIT",
    };
    for (size_t i = 0; i < titles.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string alert = alarmLine("x1000002", titles[i], "3,500", t::kRemain2);
        std::string crlf;
        for (size_t k = 0; k < alert.size(); ++k) {
            if (alert[k] == '\r' && k + 1 < alert.size() && alert[k + 1] == '\n')
                continue;
            crlf += alert[k] == '\r' || alert[k] == '\n' ? std::string("\r\n") : std::string(1, alert[k]);
        }

        StatusLog status;
        ASSERT_TRUE(SendAlertMail(defaultSettings(real.port()), alert, status.sink()));
        const auto mails = real.mails();
        ASSERT_EQ(mails.size(), i + 1);
        EXPECT_TRUE(mails.back().ends_with("\r\n\r\n" + crlf + "\r\n")) << mails.back();

        std::vector<std::string> commands;
        test::LoopbackListener lenient(test::smtpScript(
            "220 hi\r\n", {"250 ok\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 ok\r\n"}, &commands));
        EXPECT_TRUE(SendAlertMail(defaultSettings(lenient.port()), alert, status.sink()));
        lenient.finish();
        ASSERT_EQ(commands.size(), 4u);
        EXPECT_EQ(commands[3], "DATA");
    }
}

TEST(SendAlertMail, LongStatusTextIsCutAtACharacterBoundary)
{
    test::SmtpSink smtp;
    ASSERT_EQ(smtp.startError(), "");
    MailSettings settings = defaultSettings(smtp.port());
    settings.mailTo.clear();
    for (int i = 0; i < 600; ++i)
        settings.mailTo += t::kHiragana;
    StatusLog status;
    EXPECT_FALSE(SendAlertMail(settings, "alert\n", status.sink()));
    ASSERT_EQ(status.texts.size(), 2u);
    // "SEND TO " and 507 two-byte characters: 1022 bytes, the next one would pass 1023.
    EXPECT_EQ(status.texts[1].size(), 1022u);
    EXPECT_EQ(status.texts[1].substr(1020), t::kHiragana);
}

} // namespace
} // namespace pelimo
