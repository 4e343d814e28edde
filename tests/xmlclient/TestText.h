#pragma once

#include "platform/text/SjisText.h"

#include <string>
#include <string_view>

namespace pelimo::test {

// Test inputs are written in UTF-8; the system speaks Shift-JIS.
inline std::string sjis(std::string_view utf8)
{
    return platform::utf8ToSjis(utf8);
}

inline std::string utf8(std::string_view sjisText)
{
    return platform::sjisToUtf8(sjisText);
}

} // namespace pelimo::test
