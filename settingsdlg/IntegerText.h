#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelimo {

// The value of a number field's text when the whole text is one decimal integer: blanks
// around it and one sign allowed, nothing else. Empty text, other characters and values
// beyond 32 bits give nothing.
std::optional<int32_t> wholeInteger(std::string_view text);

} // namespace pelimo
