#pragma once

#include "tests/support/ChildProcess.h"

#include <optional>
#include <string>
#include <vector>

namespace pelimo::test {

// Runs listing-sim on a free loopback port for the lifetime of the object.
class SimulatorProcess {
public:
    explicit SimulatorProcess(std::vector<std::string> extraArgs = {});
    ~SimulatorProcess(); // SIGTERM, then SIGKILL after a bounded wait; reaps
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    // Spawns the binary at PELIMO_LISTING_SIM_PATH with --port 0 and the extra arguments and
    // reads its "listening" line (at most 10 s). False when it did not come up.
    bool start();
    void stop();

    std::string baseUrl() const; // "http://127.0.0.1:PORT"
    int port() const { return listeningPort; }

    // GET /sim/... on the simulator; the body of a 200 answer, or nothing.
    std::optional<std::string> control(const std::string& pathAndQuery);
    std::vector<std::string> requests();        // /sim/requests split into lines
    std::vector<std::string> decodedRequests(); // /sim/requests/decoded split into lines
    std::vector<std::string> pictureRequests(); // /sim/requests/pictures split into lines

private:
    std::vector<std::string> extraArgs;
    ChildProcess process;
    int listeningPort = 0;
};

// Percent-encodes a UTF-8 value for a query string: everything but A-Z a-z 0-9 - . _ ~.
std::string percentEncode(const std::string& utf8);

} // namespace pelimo::test
