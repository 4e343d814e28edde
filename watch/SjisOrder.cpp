#include "watch/SjisOrder.h"

namespace pelimo {
namespace {

bool isLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc);
}

// The code of the character at pos, advancing pos past it. A lead byte at the very end
// counts as a character of its own.
unsigned nextCode(std::string_view s, size_t& pos)
{
    const auto lead = static_cast<unsigned char>(s[pos++]);
    if (isLeadByte(lead) && pos < s.size())
        return (unsigned{lead} << 8) | static_cast<unsigned char>(s[pos++]);
    return lead;
}

} // namespace

int compareSjis(std::string_view a, std::string_view b)
{
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const unsigned ca = nextCode(a, i);
        const unsigned cb = nextCode(b, j);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

} // namespace pelimo
