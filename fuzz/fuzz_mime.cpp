// A subject and a body text through the message composition: the message either is refused
// or keeps every byte of the body, dot-stuffed, in lines of at most 998 bytes between CR LFs.
// CR and LF go out only as pairs and no body line is a lone dot, so no body ends the data.
#include "FuzzSupport.h"
#include "mail/MimeMessage.h"
#include "mail/TextConversionService.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr size_t kMaxLine = 998;

class CollectingSink final : public pelimo::MessageSink {
public:
    bool writeAll(std::string_view bytes) override
    {
        text.append(bytes);
        return true;
    }
    std::string text;
};

// The text without its line ends (CR LF, bare LF, bare CR): a break inserted after a full
// line is a line break like any other on the wire, so bodies are compared without them.
std::string withoutLineBreaks(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        if (c != '\r' && c != '\n')
            out += c;
    }
    return out;
}

// The text with every line end (CR LF, bare LF, bare CR) as one CR LF.
std::string withCrLf(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        if (text[i] == '\r' || text[i] == '\n')
            out += "\r\n";
        else
            out += text[i];
    }
    return out;
}

// Whether every CR is followed by LF and every LF follows a CR.
bool onlyCrLfPairs(std::string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
            return false;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return false;
    }
    return true;
}

// The body as it was before it went on the wire: one dot taken from each line that starts
// with one.
std::string unstuffedBody(std::string_view wire)
{
    std::string body;
    size_t start = 0;
    for (;;) {
        const size_t end = wire.find("\r\n", start);
        std::string_view line =
            wire.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        PELIMO_FUZZ_REQUIRE(line.size() <= kMaxLine);
        PELIMO_FUZZ_REQUIRE(line != ".");
        if (!line.empty() && line[0] == '.') {
            PELIMO_FUZZ_REQUIRE(line.size() >= 2 && line[1] == '.');
            line.remove_prefix(1);
        }
        body.append(line);
        if (end == std::string_view::npos)
            return body;
        body.append("\r\n");
        start = end + 2;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace pelimo;
    if (size < 2)
        return 0;
    // First byte: whether a conversion service is used; then the subject up to a NUL, then
    // the body.
    const bool converted = (data[0] & 1) != 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t nul = rest.find('\0');
    const std::string_view subject = rest.substr(0, nul);
    const std::string_view body = nul == std::string_view::npos ? std::string_view{} : rest.substr(nul + 1);

    MimeMessage message(converted ? createTextConversionService() : nullptr);
    message.setClock([] { return std::time_t{1796000000}; });
    message.setSender("watch@example.com");
    message.addRecipient("user@example.com");
    const uint32_t codePage = converted ? kSystemCodePage : 0;
    if (!message.setSubject(subject, codePage) || !message.addText(body, 1, codePage))
        return 0;

    CollectingSink sink;
    if (!message.write(sink, true))
        return 0;
    const std::string& out = sink.text;
    PELIMO_FUZZ_REQUIRE(onlyCrLfPairs(out));

    // Every header line keeps to the limit too.
    const size_t separator = out.find("\r\n\r\n");
    PELIMO_FUZZ_REQUIRE(separator != std::string::npos);
    for (size_t start = 0; start < separator + 2;) {
        const size_t end = out.find("\r\n", start);
        PELIMO_FUZZ_REQUIRE(end - start <= kMaxLine);
        start = end + 2;
    }
    std::string expected(body);
    if (converted) {
        const auto service = createTextConversionService();
        const auto bytes = service->convertFromSystem(body, codePage);
        PELIMO_FUZZ_REQUIRE(bytes.has_value());
        expected = *bytes;
    }
    expected = withCrLf(expected);
    const std::string wireBody = unstuffedBody(std::string_view(out).substr(separator + 4));
    PELIMO_FUZZ_REQUIRE(withoutLineBreaks(wireBody) == withoutLineBreaks(expected));
    // A break is only added where a line would grow too long, and none is lost.
    PELIMO_FUZZ_REQUIRE(wireBody.size() >= expected.size());
    return 0;
}
