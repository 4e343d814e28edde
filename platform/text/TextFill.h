#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pelimo {

using TextArgument = std::variant<std::string_view, long long>;

// Fills the %s and %d placeholders of one of the system's texts in order ("%%" is a percent
// sign). Missing arguments leave the placeholder empty; the result grows as needed, so no
// field text can overflow it.
std::string fillText(std::string_view format, const std::vector<TextArgument>& args);

} // namespace pelimo
