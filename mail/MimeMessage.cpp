#include "mail/MimeMessage.h"

#include "platform/LocalTime.h"
#include "platform/text/Base64.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace pelimo {
namespace {

constexpr std::array<const char*, 7> kDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 12> kMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Header lines stay below the 998-byte limit of RFC 5322 section 2.1.1.
constexpr int kFoldColumn = 997;
constexpr int kFoldStartColumn = 9;
// Body lines get a line break after this many bytes since the last line end.
constexpr int kBodyLineLimit = 998;
// The body is streamed in chunks of at most this many bytes; one body byte can add four
// (an inserted CR LF, a doubled dot and the byte itself).
constexpr size_t kBodyChunk = 4096;
constexpr size_t kBodyChunkFlushAt = kBodyChunk - 4;

// Bytes a header must not carry as they are: they are encoded in the subject.
bool needsEncoding(unsigned char c)
{
    if (c == '\t' || c == '\n' || c == '\r')
        return false;
    return c < 0x20 || c > 0x7e;
}

// RFC 2047 section 4.2: printable bytes except "=", "?" and "_" as they are, others as =XX.
std::string quotedPrintableWord(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x21 && c <= 0x7e && c != '=' && c != '?' && c != '_') {
            out += ch;
        } else {
            out += '=';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// Copies a header value, breaking it with CR LF and the continuation before column 997.
void appendFolded(std::string& out, std::string_view value, const char* continuation)
{
    int column = kFoldStartColumn;
    char previous = '\0';
    for (const char c : value) {
        if (column >= kFoldColumn) {
            out += "\r\n";
            out += continuation;
            column = 0;
        }
        out += c;
        ++column;
        if (c == '\n' && previous == '\r')
            column = 0;
        previous = c;
    }
}

bool hasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

std::string formatDateLine(const std::tm& local)
{
    // Minutes to add to local time to get UTC.
    const long bias = -local.tm_gmtoff / 60;
    const long hours = bias / 60;
    const long minutes = bias % 60;
    const char* day = local.tm_wday >= 0 && local.tm_wday < 7 ? kDayNames[local.tm_wday] : kDayNames[0];
    const char* month = local.tm_mon >= 0 && local.tm_mon < 12 ? kMonthNames[local.tm_mon] : kMonthNames[0];
    // The sign follows the whole offset, so zones less than an hour away from UTC keep theirs.
    const char sign = bias < 0 ? '+' : '-';
    char line[96];
    std::snprintf(line, sizeof line, "Date: %3s, %d %3s %4d %02d:%02d:%02d %c%02ld%02ld", day, local.tm_mday,
                  month, local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec, sign,
                  std::labs(hours), std::labs(minutes));
    return line;
}

MimeMessage::MimeMessage(std::unique_ptr<TextConversionService> conversion) : service(std::move(conversion))
{
    clock = [] {
        return std::time(nullptr);
    };
}

void MimeMessage::addRecipient(std::string_view address)
{
    if (!to.empty())
        to += ", ";
    to += '<';
    to += address;
    to += '>';
}

bool MimeMessage::addText(std::string_view text, int position, uint32_t codePage)
{
    auto part = MimeTextPart::fromText(text, codePage, service.get());
    if (!part)
        return false;
    const auto index =
        static_cast<size_t>(std::clamp<long>(position - 1L, 0L, static_cast<long>(parts.size())));
    parts.insert(parts.begin() + static_cast<std::ptrdiff_t>(index), std::move(*part));
    return true;
}

bool MimeMessage::setSubject(std::string_view text, uint32_t codePage)
{
    if (service != nullptr) {
        auto converted = service->convertFromSystem(text, codePage);
        if (!converted)
            return false;
        subject = std::move(*converted);
    } else {
        subject.assign(text);
    }
    auto name = charsetNameFor(service.get(), codePage);
    if (!name)
        return false;
    subjectCharset = std::move(*name);
    return true;
}

std::string MimeMessage::recipientAddresses() const
{
    std::string out;
    bool inAddress = false;
    for (size_t i = 0; i < to.size(); ++i) {
        const char c = to[i];
        if (c == '"') {
            const size_t close = to.find('"', i + 1);
            i = close == std::string::npos ? to.size() : close;
        } else if (c == '=' && i + 1 < to.size() && to[i + 1] == '?') {
            const size_t close = to.find("?=", i + 2);
            i = close == std::string::npos ? to.size() : close + 1;
        } else if (c == '<') {
            inAddress = true;
        } else if (c == '>' && inAddress) {
            inAddress = false;
            out += ',';
        } else if (inAddress) {
            out += c;
        }
    }
    if (!out.empty() && out.back() == ',')
        out.pop_back();
    return out;
}

std::string MimeMessage::encodedSubject() const
{
    if (service == nullptr)
        return subject;
    size_t count = 0;
    for (const char c : subject)
        count += needsEncoding(static_cast<unsigned char>(c)) ? 1 : 0;
    if (count == 0)
        return subject;
    // RFC 2047: mostly non-ASCII text is shorter in base64, mostly ASCII text in the Q form.
    if (count * 100 / subject.size() >= 17)
        return "=?" + subjectCharset + "?B?" + base64Encode(subject) + "?=";
    return "=?" + subjectCharset + "?Q?" + quotedPrintableWord(subject) + "?=";
}

bool MimeMessage::headerValuesAreClean() const
{
    if (hasLineBreak(sender) || hasLineBreak(to))
        return false;
    const std::string encoded = encodedSubject();
    return encoded != subject || !hasLineBreak(subject);
}

bool MimeMessage::write(MessageSink& sink, bool smtpFormat, bool stuffDots) const
{
    if (!headerValuesAreClean())
        return false;
    const char* continuation = smtpFormat ? "\t" : " ";

    const std::time_t now = clock();
    std::tm local{};
    platform::localCalendarTime(now, local);
    std::string header = formatDateLine(local);
    header += "\r\n";
    if (!sender.empty()) {
        header += "From: ";
        appendFolded(header, "<" + sender + ">", continuation);
        header += "\r\n";
    }
    if (!subject.empty()) {
        header += "Subject: ";
        appendFolded(header, encodedSubject(), continuation);
        header += "\r\n";
    }
    if (!to.empty()) {
        header += "To: ";
        for (size_t i = 0; i < to.size(); ++i) {
            header += to[i];
            if (to[i] == ',') {
                header += "\r\n";
                header += continuation;
                if (i + 1 < to.size() && to[i + 1] == ' ')
                    ++i;
            }
        }
        header += "\r\n";
    }
    if (!sink.writeAll(header))
        return false;
    if (!sink.writeAll("X-Priority: " + std::to_string(priority) + "\r\n"))
        return false;
    for (const MimeTextPart& part : parts) {
        if (!writeBody(sink, part, stuffDots))
            return false;
    }
    return true;
}

bool MimeMessage::writeBody(MessageSink& sink, const MimeTextPart& part, bool stuffDots) const
{
    std::string buffer = part.header();
    buffer.reserve(kBodyChunk);
    const std::string& data = part.data();
    int column = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        if (buffer.size() >= kBodyChunkFlushAt) {
            if (!sink.writeAll(buffer))
                return false;
            buffer.clear();
        }
        // RFC 5321 section 2.3.8 and RFC 5322 section 2.3: CR and LF travel only as a pair.
        // Every line end of the text (CR LF, a bare LF, a bare CR) goes out as one CR LF, so
        // no server reads a line end where another does not, and no text ends the data early.
        if (data[i] == '\r' || data[i] == '\n') {
            if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
                ++i;
            buffer += "\r\n";
            column = 0;
            continue;
        }
        if (column >= kBodyLineLimit) {
            buffer += "\r\n";
            column = 0;
        }
        // RFC 5321 section 4.5.2: a line that starts with a dot gets a second one.
        if (column == 0 && stuffDots && data[i] == '.') {
            buffer += '.';
            column = 1;
        }
        buffer += data[i];
        ++column;
    }
    return sink.writeAll(buffer);
}

} // namespace pelimo
