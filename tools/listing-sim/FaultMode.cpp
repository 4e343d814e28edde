#include "tools/listing-sim/FaultMode.h"

#include <array>
#include <utility>

namespace pelimo::sim {

std::optional<FaultMode> faultModeNamed(std::string_view name)
{
    static constexpr std::array<std::pair<std::string_view, FaultMode>, 10> names = {{
        {"none", FaultMode::None},
        {"html", FaultMode::Html},
        {"malformed", FaultMode::Malformed},
        {"drop", FaultMode::Drop},
        {"hang", FaultMode::Hang},
        {"huge", FaultMode::Huge},
        {"bomb", FaultMode::Bomb},
        {"slow", FaultMode::Slow},
        {"empty", FaultMode::Empty},
        {"ratelimit", FaultMode::RateLimit},
    }};
    for (const auto& [text, mode] : names)
        if (text == name)
            return mode;
    return std::nullopt;
}

} // namespace pelimo::sim
