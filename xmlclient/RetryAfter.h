#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace pelimo {

// The wait a Retry-After field value asks for, counted from now (RFC 9110 section 10.2.3):
// delay-seconds, or an HTTP-date in any of the three forms a recipient must read (section
// 5.6.7). A date already past is no wait; a value that is neither gives nothing.
std::optional<std::chrono::seconds> retryAfterWait(std::string_view value,
                                                   std::chrono::system_clock::time_point now);

} // namespace pelimo
