#include "platform/text/SjisText.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace pelimo::platform {
namespace {

// One iconv descriptor; each conversion starts and ends in the initial shift state, so one
// descriptor serves any number of conversions in turn.
class Converter {
public:
    Converter(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid())
            iconv_close(cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd != reinterpret_cast<iconv_t>(-1); }

    // Converts all of input; on an unconvertible or broken sequence calls skip(), which
    // returns how many input bytes to drop, and writes one '?' in their place.
    template <typename Skip> std::string run(std::string_view input, Skip skip, bool* clean = nullptr)
    {
        std::string out;
        out.reserve(input.size() + input.size() / 2);
        // iconv never writes through its input pointer; its signature is only older than const.
        char* src = const_cast<char*>(input.data());
        size_t srcLeft = input.size();
        char buffer[4096];
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (clean)
            *clean = true;
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<size_t>(dst - buffer));
            if (rc != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL (truncated sequence at the end).
            if (clean)
                *clean = false;
            const size_t drop = std::min(srcLeft, skip(std::string_view(src, srcLeft)));
            src += drop;
            srcLeft -= drop;
            out += '?';
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        iconv(cd, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, static_cast<size_t>(dst - buffer));
        return out;
    }

private:
    iconv_t cd;
};

// Length of the broken CP932 character at the front: a lead byte takes its trail byte along.
size_t sjisCharLength(std::string_view s)
{
    return isSjisLeadByte(static_cast<unsigned char>(s[0])) && s.size() >= 2 ? 2 : 1;
}

// Length of the UTF-8 sequence at the front, or 1 for a byte that starts none.
size_t utf8CharLength(std::string_view s)
{
    const auto lead = static_cast<unsigned char>(s[0]);
    size_t n = 1;
    if (lead >= 0xf0 && lead <= 0xf4)
        n = 4;
    else if (lead >= 0xe0)
        n = 3;
    else if (lead >= 0xc2 && lead < 0xe0)
        n = 2;
    for (size_t i = 1; i < n; ++i) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xc0) != 0x80)
            return i;
    }
    return n;
}

// Both encodings share the ASCII range byte for byte, so such text needs no converter; most
// texts that cross (element names, numbers, addresses) are plain ASCII.
bool isAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

// Every listing's texts cross in these two directions, and opening a descriptor costs more
// than converting a title; each thread keeps one of each.
std::string sjisToUtf8(std::string_view sjis)
{
    if (isAscii(sjis))
        return std::string(sjis);
    thread_local Converter c("UTF-8", "CP932");
    return c.valid() ? c.run(sjis, sjisCharLength) : std::string(sjis);
}

std::string utf8ToSjis(std::string_view utf8)
{
    if (isAscii(utf8))
        return std::string(utf8);
    thread_local Converter c("CP932", "UTF-8");
    return c.valid() ? c.run(utf8, utf8CharLength) : std::string(utf8);
}

std::string_view cutSjis(std::string_view sjis, size_t maxBytes)
{
    size_t end = 0;
    while (end < sjis.size()) {
        const size_t width =
            isSjisLeadByte(static_cast<unsigned char>(sjis[end])) && end + 1 < sjis.size() ? 2 : 1;
        if (end + width > maxBytes)
            break;
        end += width;
    }
    return sjis.substr(0, end);
}

bool convertCharset(std::string_view input, const char* from, const char* to, std::string& out)
{
    Converter c(to, from);
    if (!c.valid())
        return false;
    bool clean = true;
    out = c.run(
        input, [](std::string_view) { return size_t{1}; }, &clean);
    return clean;
}

bool canConvertCharset(const char* from, const char* to)
{
    return Converter(to, from).valid();
}

} // namespace pelimo::platform
