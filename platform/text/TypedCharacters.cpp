#include "platform/text/TypedCharacters.h"

#include "PlatformTexts.h"
#include "platform/text/SjisText.h"

namespace pelimo {
namespace {

namespace t = platform_text;

char asciiOfWide(std::string_view wide)
{
    if (wide == t::kWideComma)
        return ',';
    if (wide == t::kWideColon)
        return ':';
    if (wide == t::kWideBlank)
        return ' ';
    const std::string_view digits = t::kWideDigits;
    for (size_t d = 0; d < 10; ++d) {
        if (digits.substr(d * 2, 2) == wide)
            return static_cast<char>('0' + d);
    }
    return 0;
}

} // namespace

std::vector<TypedCharacter> typedCharacters(std::string_view sjis)
{
    std::vector<TypedCharacter> out;
    out.reserve(sjis.size());
    for (size_t i = 0; i < sjis.size();) {
        const auto lead = static_cast<unsigned char>(sjis[i]);
        if (platform::isSjisLeadByte(lead) && i + 1 < sjis.size()) {
            const std::string_view wide = sjis.substr(i, 2);
            out.push_back({wide, asciiOfWide(wide)});
            i += 2;
        } else {
            out.push_back({sjis.substr(i, 1), lead < 0x80 ? static_cast<char>(lead) : char{0}});
            ++i;
        }
    }
    return out;
}

} // namespace pelimo
