#include "platform/text/WebAddress.h"

namespace pelimo {
namespace {

bool startsWithNoCase(std::string_view text, std::string_view lowerPrefix)
{
    if (text.size() < lowerPrefix.size())
        return false;
    for (size_t i = 0; i < lowerPrefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != lowerPrefix[i])
            return false;
    }
    return true;
}

} // namespace

size_t webSchemeLength(std::string_view address)
{
    if (startsWithNoCase(address, "https://"))
        return 8;
    return startsWithNoCase(address, "http://") ? 7 : 0;
}

} // namespace pelimo
