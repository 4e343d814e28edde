#include "mail/MimeMessage.h"

#include "mail_texts.h"

#include <gtest/gtest.h>

namespace pelimo {
namespace {

// Keeps every write, and can refuse the n-th one.
class CaptureSink final : public MessageSink {
public:
    explicit CaptureSink(int failAt = -1) : failAt(failAt) {}
    bool writeAll(std::string_view bytes) override
    {
        if (static_cast<int>(writes.size()) == failAt)
            return false;
        writes.emplace_back(bytes);
        return true;
    }
    std::string text() const
    {
        std::string all;
        for (const auto& w : writes)
            all += w;
        return all;
    }
    std::vector<std::string> writes;
    int failAt;
};

std::string headerLine(const std::string& text, const std::string& name)
{
    const size_t at = text.find("\r\n" + name);
    if (at == std::string::npos)
        return {};
    return text.substr(at + 2, text.find("\r\n", at + 2) - at - 2);
}

std::string bodyOf(const std::string& text)
{
    return text.substr(text.find("\r\n\r\n") + 4);
}

TEST(MimeMessage, WritesTheAlertMailHeaderAndBody)
{
    MimeMessage message(createTextConversionService());
    message.setSender("alert@example.com");
    message.addRecipient("me@example.net");
    message.setPriority(3);
    ASSERT_TRUE(message.addText("line one\nline two\n", 1, 0));
    ASSERT_TRUE(message.setSubject(mail_texts::kAlertMailSubject, 0));
    // Sun, 6 Dec 2026 09:05:01 in Japan.
    message.setClock([] { return std::time_t{1796515501}; });
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    CaptureSink sink;
    ASSERT_TRUE(message.write(sink, true));
    unsetenv("TZ");
    tzset();

    EXPECT_EQ(sink.text(), "Date: Sun, 6 Dec 2026 09:05:01 +0900\r\n"
                           "From: <alert@example.com>\r\n"
                           "Subject: =?shift_jis?B?g0GDiYFbg2eP7pXx?=\r\n"
                           "To: <me@example.net>\r\n"
                           "X-Priority: 3\r\n"
                           "MIME-Version: 1.0\r\n"
                           "Content-Type: text/plain;\r\n"
                           "\tcharset=\"shift_jis\"\r\n"
                           "Content-Transfer-Encoding: 8bit\r\n"
                           "\r\n"
                           "line one\r\nline two\r\n");
    // Date, From, Subject and To go out in one write.
    EXPECT_EQ(sink.writes.front().substr(sink.writes.front().size() - 22), "To: <me@example.net>\r\n");
}

TEST(MimeMessage, EmptySenderSubjectAndToLeaveTheirLinesOut)
{
    MimeMessage message(createTextConversionService());
    message.addText("x", 1, 0);
    CaptureSink sink;
    ASSERT_TRUE(message.write(sink, true));
    const std::string text = sink.text();
    EXPECT_TRUE(text.starts_with("Date: "));
    EXPECT_EQ(text.find("From:"), std::string::npos);
    EXPECT_EQ(text.find("Subject:"), std::string::npos);
    EXPECT_EQ(text.find("To:"), std::string::npos);
    EXPECT_NE(text.find("\r\nX-Priority: 3\r\nMIME-Version: 1.0\r\n"), std::string::npos);
}

TEST(MimeMessage, SubjectEncoding)
{
    const std::string katakana = "\xb1"; // one half-width katakana byte of code page 932
    struct Case {
        std::string subject;
        std::string expected;
    };
    const std::vector<Case> cases{
        {"Price alert", "Price alert"},
        {"Price " + katakana + " now_?=", "=?shift_jis?Q?Price=20=B1=20now=5F=3F=3D?="},
        // 16 of 100 bytes need encoding: Q; 17 of 100: B.
        {std::string(16, '\xb1') + std::string(84, 'a'), "=?shift_jis?Q?" +
                                                             [] {
                                                                 std::string s;
                                                                 for (int i = 0; i < 16; ++i)
                                                                     s += "=B1";
                                                                 return s + std::string(84, 'a');
                                                             }() +
                                                             "?="},
        {std::string(17, '\xb1') + std::string(83, 'a'), ""},
        {"a\tb", "a\tb"},
    };
    for (const auto& c : cases) {
        MimeMessage message(createTextConversionService());
        ASSERT_TRUE(message.setSubject(c.subject, 0));
        CaptureSink sink;
        ASSERT_TRUE(message.write(sink, true));
        const std::string line = headerLine(sink.text(), "Subject: ");
        if (c.expected.empty())
            EXPECT_TRUE(line.starts_with("Subject: =?shift_jis?B?")) << line;
        else
            EXPECT_EQ(line, "Subject: " + c.expected);
    }
}

TEST(MimeMessage, BodyTransformation)
{
    struct Case {
        std::string body;
        bool smtp;
        std::string expected;
    };
    const std::string x998(998, 'x');
    const std::vector<Case> cases{
        {".start", true, "..start"},
        {"a\r\n.b", true, "a\r\n..b"},
        // Every line end goes out as one CR LF, and a dot after any of them is doubled.
        {"a\n.b", true, "a\r\n..b"},
        {"a\r.b", true, "a\r\n..b"},
        {"a\n\r\nb\r\r\n.\n", true, "a\r\n\r\nb\r\n\r\n..\r\n"},
        {".start", false, ".start"},
        {x998 + ".", true, x998 + "\r\n.."},
        // Line length counts from the last line end, whichever form it had in the text.
        {std::string(500, 'a') + "\n" + std::string(600, 'b'), true,
         std::string(500, 'a') + "\r\n" + std::string(600, 'b')},
        {std::string(997, 'a') + "\r\n" + x998, true, std::string(997, 'a') + "\r\n" + x998},
        {x998 + "\r\n.y", true, x998 + "\r\n..y"},
        {x998 + "\ry", true, x998 + "\r\ny"},
        {x998 + "\n" + x998 + "z", true, x998 + "\r\n" + x998 + "\r\nz"},
    };
    for (const auto& c : cases) {
        MimeMessage message(createTextConversionService());
        ASSERT_TRUE(message.addText(c.body, 1, 0));
        CaptureSink sink;
        ASSERT_TRUE(message.write(sink, c.smtp));
        EXPECT_EQ(bodyOf(sink.text()), c.expected) << c.body.substr(0, 20);
    }
}

TEST(MimeMessage, LongBodyIsStreamedInBoundedChunks)
{
    // Each dot lands right after an inserted break, the most one byte can grow.
    std::string body = std::string(998, 'y') + ".";
    std::string expected = std::string(998, 'y') + "\r\n..";
    for (int i = 0; i < 39; ++i) {
        body += std::string(996, 'y') + ".";
        expected += std::string(996, 'y') + "\r\n..";
    }
    MimeMessage message(createTextConversionService());
    ASSERT_TRUE(message.addText(body, 1, 0));
    CaptureSink sink;
    ASSERT_TRUE(message.write(sink, true));
    ASSERT_GT(sink.writes.size(), 10u);
    for (const auto& w : sink.writes)
        EXPECT_LE(w.size(), 4096u);
    EXPECT_EQ(bodyOf(sink.text()), expected);
}

TEST(MimeMessage, WriteStopsAtTheFirstFailedWrite)
{
    for (int failAt = 0; failAt < 3; ++failAt) {
        MimeMessage message(createTextConversionService());
        message.setSender("a@example.com");
        message.addText("body", 1, 0);
        CaptureSink sink(failAt);
        EXPECT_FALSE(message.write(sink, true));
        EXPECT_EQ(static_cast<int>(sink.writes.size()), failAt);
    }
}

TEST(MimeMessage, ToListAndEnvelopeRecipients)
{
    MimeMessage message(createTextConversionService());
    message.addRecipient("a@example.com");
    message.addRecipient("b@example.com");
    EXPECT_EQ(message.toList(), "<a@example.com>, <b@example.com>");
    EXPECT_EQ(message.recipientAddresses(), "a@example.com,b@example.com");
    CaptureSink sink;
    ASSERT_TRUE(message.write(sink, true));
    EXPECT_NE(sink.text().find("\r\nTo: <a@example.com>,\r\n\t<b@example.com>\r\n"), std::string::npos);

    MimeMessage empty(createTextConversionService());
    empty.addRecipient("");
    EXPECT_EQ(empty.toList(), "<>");
    EXPECT_EQ(empty.recipientAddresses(), "");
}

TEST(MimeMessage, LongSenderIsFoldedBeforeColumn997)
{
    MimeMessage message(createTextConversionService());
    const std::string address(1200, 's');
    message.setSender(address);
    CaptureSink sink;
    ASSERT_TRUE(message.write(sink, true));
    const std::string line = headerLine(sink.text(), "From: ");
    // The value starts counting at column 9, so 988 of its bytes fit before the fold.
    EXPECT_EQ(line, "From: <" + address.substr(0, 987));
    EXPECT_NE(sink.text().find("From: <" + address.substr(0, 987) + "\r\n\t" + address.substr(987) + ">\r\n"),
              std::string::npos);
}

TEST(MimeMessage, LineBreakInAHeaderValueIsRefusedBeforeAnyWrite)
{
    for (const char* evil : {"a@example.com\r\nBcc: x@example.com", "a@example.com\nBcc: x"}) {
        MimeMessage fromMessage(createTextConversionService());
        fromMessage.setSender(evil);
        MimeMessage toMessage(createTextConversionService());
        toMessage.addRecipient(evil);
        MimeMessage subjectMessage(createTextConversionService());
        subjectMessage.setSubject(evil, 0);
        for (MimeMessage* m : {&fromMessage, &toMessage, &subjectMessage}) {
            CaptureSink sink;
            EXPECT_FALSE(m->headerValuesAreClean());
            EXPECT_FALSE(m->write(sink, true));
            EXPECT_TRUE(sink.writes.empty());
        }
    }
    // An encoded subject carries its line breaks inside the encoded word.
    MimeMessage encoded(createTextConversionService());
    encoded.setSubject(std::string(mail_texts::kAlertMailSubject) + "\r\nBcc: x", 0);
    EXPECT_TRUE(encoded.headerValuesAreClean());
}

TEST(MimeMessage, CodePagesAndTheMissingService)
{
    const std::string japanese = mail_texts::kAlertMailSubject;
    {
        // Latin-1 cannot hold Japanese text; ASCII text goes through and is labelled.
        MimeMessage message(createTextConversionService());
        EXPECT_FALSE(message.addText(japanese, 1, 28591));
        EXPECT_EQ(message.partCount(), 0u);
        EXPECT_TRUE(message.addText("plain", 1, 28591));
        EXPECT_FALSE(message.addText("plain", 1, 12345));
        EXPECT_FALSE(message.setSubject("plain", 12345));
        CaptureSink sink;
        ASSERT_TRUE(message.write(sink, true));
        EXPECT_NE(sink.text().find("charset=\"iso-8859-1\""), std::string::npos);
    }
    {
        // Without a service text goes out unconverted, labelled Latin-1, the subject raw.
        MimeMessage message(nullptr);
        EXPECT_TRUE(message.addText(japanese, 1, 0));
        EXPECT_TRUE(message.setSubject(japanese, 0));
        EXPECT_FALSE(message.addText("x", 1, 932));
        CaptureSink sink;
        ASSERT_TRUE(message.write(sink, true));
        EXPECT_EQ(headerLine(sink.text(), "Subject: "), "Subject: " + japanese);
        EXPECT_NE(sink.text().find("charset=\"iso-8859-1\""), std::string::npos);
        EXPECT_EQ(bodyOf(sink.text()), japanese);
    }
}

TEST(MimeMessage, PartsAreInsertedAtTheirPosition)
{
    MimeMessage message(nullptr);
    message.addText("second", 1, 0);
    message.addText("first", 1, 0);
    message.addText("last", 9, 0);
    CaptureSink sink;
    ASSERT_TRUE(message.write(sink, false));
    const std::string text = sink.text();
    const size_t first = text.find("\r\n\r\nfirst");
    const size_t second = text.find("\r\n\r\nsecond");
    const size_t last = text.find("\r\n\r\nlast");
    ASSERT_NE(last, std::string::npos);
    EXPECT_LT(first, second);
    EXPECT_LT(second, last);
}

TEST(MimeMessage, DateLine)
{
    struct Case {
        int wday, mday, mon, year, hour, min, sec;
        long gmtoff;
        const char* expected;
    };
    const std::vector<Case> cases{
        {0, 6, 11, 126, 9, 5, 1, 9 * 3600, "Date: Sun, 6 Dec 2026 09:05:01 +0900"},
        {3, 25, 0, 127, 23, 59, 59, -5 * 3600, "Date: Wed, 25 Jan 2027 23:59:59 -0500"},
        {6, 1, 5, 126, 0, 0, 0, 5 * 3600 + 1800, "Date: Sat, 1 Jun 2026 00:00:00 +0530"},
        {1, 2, 2, 126, 1, 2, 3, -(9 * 3600 + 1800), "Date: Mon, 2 Mar 2026 01:02:03 -0930"},
        // Less than an hour from UTC the sign still follows the offset.
        {1, 2, 2, 126, 1, 2, 3, 1800, "Date: Mon, 2 Mar 2026 01:02:03 +0030"},
        {1, 2, 2, 126, 1, 2, 3, -1800, "Date: Mon, 2 Mar 2026 01:02:03 -0030"},
        {1, 2, 2, 126, 1, 2, 3, 0, "Date: Mon, 2 Mar 2026 01:02:03 -0000"},
        {9, 2, 14, 126, 1, 2, 3, 0, "Date: Sun, 2 Jan 2026 01:02:03 -0000"},
    };
    for (const auto& c : cases) {
        std::tm t{};
        t.tm_wday = c.wday;
        t.tm_mday = c.mday;
        t.tm_mon = c.mon;
        t.tm_year = c.year;
        t.tm_hour = c.hour;
        t.tm_min = c.min;
        t.tm_sec = c.sec;
        t.tm_gmtoff = c.gmtoff;
        EXPECT_EQ(formatDateLine(t), c.expected);
    }
}

} // namespace
} // namespace pelimo
