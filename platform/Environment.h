#pragma once

#include <optional>
#include <string>

namespace pelimo::platform {

// The value of an environment variable of the process, or nothing when it is not set.
std::optional<std::string> environmentValue(const char* name);

} // namespace pelimo::platform
