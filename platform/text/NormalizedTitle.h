#pragma once

#include <string>
#include <string_view>

namespace pelimo {

// The form in which two titles, or a title and a word, are compared rather than shown (UTF-8):
// Unicode NFKC with full case folding and the invisible default-ignorable characters dropped
// (so "ＡＢＣ", "abc" and "ABC" are one; "ｶﾒﾗ" is "カメラ"; "①" is "1"; "㈱" is "(株)"), and
// every run of blanks, of whatever width, one ASCII blank, none at either end. The input is
// Shift-JIS (CP932); bytes that are no character compare as '?'.
std::string normalizedTitle(std::string_view sjis);

// The same into out, reusing its storage: for loops over many titles.
void normalizeTitle(std::string_view sjis, std::string& out);

} // namespace pelimo
