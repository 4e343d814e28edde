#include "app/SjisCut.h"

namespace pelimo {

namespace {

bool isLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9f) || (c >= 0xe0 && c <= 0xfc);
}

} // namespace

std::string cutSjis(std::string_view sjis, size_t maxBytes)
{
    size_t end = 0;
    while (end < sjis.size()) {
        const size_t width =
            isLeadByte(static_cast<unsigned char>(sjis[end])) && end + 1 < sjis.size() ? 2 : 1;
        if (end + width > maxBytes) {
            break;
        }
        end += width;
    }
    return std::string(sjis.substr(0, end));
}

} // namespace pelimo
