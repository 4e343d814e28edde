#pragma once

#include <string>
#include <vector>

namespace pelimo::bench {

// The median of the values (the upper one of an even count); 0 for none.
double median(std::vector<double> values);

// The processor time this process has used so far, user and system, in seconds.
double processorSeconds();

// The load averages of the machine, as /proc/loadavg gives them ("1.02 0.87 0.80"), or "?".
std::string loadAverages();

} // namespace pelimo::bench
