#include "platform/text/SjisToUtf16.h"

#include "platform/text/SjisText.h"

#include <array>
#include <memory>
#include <unicode/ustring.h>

namespace pelimo::platform {
namespace {

// Every single byte and every lead byte with every second byte, as the converter reads them.
// CP932 is stateless and each of its characters is one UTF-16 unit, so a text converts as the
// sequence of its characters; were any character to convert otherwise, the table is not used.
class DecodeTable {
public:
    DecodeTable()
    {
        for (int b = 0; b < 256; ++b)
            usable = usable && unitOf(std::string(1, static_cast<char>(b)), single[b]);
        for (int lead = 0x81; lead <= 0xfc && usable; ++lead) {
            if (!isSjisLeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (int trail = 0; trail < 256 && usable; ++trail) {
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                usable =
                    unitOf(std::string(pair, 2), pairs[leadIndex(static_cast<unsigned char>(lead))][trail]);
            }
        }
    }

    bool usable = true;
    std::array<char16_t, 256> single{};
    std::array<std::array<char16_t, 256>, 60> pairs{};

    // 0x81-0x9f, then 0xe0-0xfc.
    static size_t leadIndex(unsigned char lead) { return lead <= 0x9f ? lead - 0x81 : lead - 0xe0 + 0x1f; }

private:
    static bool unitOf(const std::string& sjis, char16_t& unit)
    {
        const std::string utf8 = sjisToUtf8(sjis);
        char16_t units[4];
        int32_t length = 0;
        UErrorCode status = U_ZERO_ERROR;
        u_strFromUTF8(units, 4, &length, utf8.data(), static_cast<int32_t>(utf8.size()), &status);
        if (U_FAILURE(status) || length != 1)
            return false;
        unit = units[0];
        return true;
    }
};

const DecodeTable& table()
{
    static const std::unique_ptr<const DecodeTable> t = std::make_unique<const DecodeTable>();
    return *t;
}

void viaUtf8(std::string_view sjis, std::u16string& out)
{
    const std::string utf8 = sjisToUtf8(sjis);
    out.resize(utf8.size() + 1); // a UTF-8 byte gives at most one UTF-16 unit
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, utf8.data(),
                         static_cast<int32_t>(utf8.size()), u'?', nullptr, &status);
    out.resize(U_SUCCESS(status) ? static_cast<size_t>(length) : 0);
}

} // namespace

void sjisToUtf16(std::string_view sjis, std::u16string& out)
{
    const DecodeTable& t = table();
    if (!t.usable) {
        viaUtf8(sjis, out);
        return;
    }
    out.resize(sjis.size());
    size_t n = 0;
    for (size_t i = 0; i < sjis.size(); ++n) {
        const auto b = static_cast<unsigned char>(sjis[i]);
        if (isSjisLeadByte(b) && i + 1 < sjis.size()) {
            out[n] = t.pairs[DecodeTable::leadIndex(b)][static_cast<unsigned char>(sjis[i + 1])];
            i += 2;
        } else {
            out[n] = t.single[b];
            ++i;
        }
    }
    out.resize(n);
}

} // namespace pelimo::platform
