#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pelimo::bench {

// The curl command-line tool fetching a list of addresses in one invocation, one after the
// other over the connection it keeps, as the program keeps its own. The wall time includes
// starting and ending the process, which on a loaded machine can take longer than a few
// loopback fetches; curl's own time for the transfers (each one's time_total, summed) leaves
// that out, and is the fair comparison for a short list.
struct CurlRun {
    bool ok = false; // every address answered 200
    size_t transfers = 0;
    double wallSeconds = 0;
    double transferSeconds = 0;
};

// Writes a curl config naming every address, each one's body discarded.
bool writeCurlConfig(const std::string& path, const std::vector<std::string>& addresses);

CurlRun runCurl(const std::string& configPath);

} // namespace pelimo::bench
