#include "tools/listing-sim/RemainTime.h"

#include <algorithm>
#include <array>
#include <utility>

namespace pelimo::sim {

std::string remainText(int64_t secondsLeft, const Vocabulary& words)
{
    if (secondsLeft >= 24 * 3600)
        return std::to_string(secondsLeft / (24 * 3600)) + words.days;
    if (secondsLeft >= 3600)
        return std::to_string(secondsLeft / 3600) + words.hours;
    if (secondsLeft >= 60)
        return std::to_string(secondsLeft / 60) + words.minutes;
    return std::to_string(std::max<int64_t>(secondsLeft, 0)) + words.seconds;
}

std::optional<int64_t> longestRemaining(std::string_view text, const Vocabulary& words)
{
    const std::array<std::pair<std::string_view, int64_t>, 4> units = {
        {{words.days, 24 * 3600}, {words.hours, 3600}, {words.minutes, 60}, {words.seconds, 1}}};
    int64_t total = 0;
    int64_t smallest = 0;
    size_t i = 0;
    while (i < text.size()) {
        int64_t value = 0;
        const size_t digitsFrom = i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            value = value * 10 + (text[i] - '0');
            if (value > 1000000000)
                return std::nullopt;
        }
        if (i == digitsFrom)
            return std::nullopt;
        const auto unit = std::find_if(units.begin(), units.end(), [&](const auto& u) {
            return text.substr(i, u.first.size()) == u.first;
        });
        if (unit == units.end())
            return std::nullopt;
        total += value * unit->second;
        smallest = unit->second;
        i += unit->first.size();
    }
    if (smallest == 0)
        return std::nullopt;
    return total + smallest - 1;
}

} // namespace pelimo::sim
