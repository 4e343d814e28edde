#pragma once

#include <string>
#include <string_view>

namespace pelimo::platform {

// The characters of a Shift-JIS (CP932) text in UTF-16, exactly as sjisToUtf8 gives them
// (a byte or pair that is no character becomes '?'), into out. For the loops that read
// thousands of titles: a table filled once from sjisToUtf8 replaces the converter call.
void sjisToUtf16(std::string_view sjis, std::u16string& out);

} // namespace pelimo::platform
