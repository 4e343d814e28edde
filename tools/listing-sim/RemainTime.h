#pragma once

#include "tools/listing-sim/Vocabulary.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelimo::sim {

// "3日", "5時間", "12分", "45秒": the largest unit that fits, as the service shows it.
std::string remainText(int64_t secondsLeft, const Vocabulary& words);

// How long a listing shown with that remaining time may still run: the service cuts the time
// down to its unit, so "5分" means up to 5 minutes 59 seconds. Units may follow one another
// ("2日3時間"). Nothing for a text that is not in that form ("-", "3", "").
std::optional<int64_t> longestRemaining(std::string_view text, const Vocabulary& words);

} // namespace pelimo::sim
