#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace pelimo::test {

// How a ChildProcess starts its program.
struct ChildProcessOptions {
    std::vector<std::string> environment = {}; // "NAME=value", added to or replacing the test's own
    std::string outputFile = {};               // stderr, and stdout unless readOutput; empty: inherited
    std::string workingFolder = {};            // empty: the test's own
    bool readOutput = false;                   // stdout to a pipe that readLine reads
};

// A program the tests start and always stop: SIGTERM, then SIGKILL after a bounded wait, and
// the process is reaped. Servers, the listing simulator and the program itself run as one.
class ChildProcess {
public:
    using Options = ChildProcessOptions;

    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is the program's path, or a name looked up on PATH. The error text says why when it does not
    // start.
    bool start(const std::vector<std::string>& argv, const Options& options, std::string& error);
    bool start(const std::vector<std::string>& argv, const Options& options = {});

    // The next line of its stdout without the line end; nothing when it closed or stayed silent.
    std::optional<std::string> readLine(std::chrono::milliseconds bound);
    // Waits until a connection to the loopback port succeeds; false when the process ended
    // first or the bound passed.
    bool waitForPort(uint16_t port, std::chrono::milliseconds bound);

    // The exit status (128 + signal when a signal ended it) once the process ended by itself
    // within the bound; nothing when it still runs then.
    std::optional<int> wait(std::chrono::milliseconds bound);
    // SIGTERM, and the exit status (128 + signal when a signal ended it) once the process is
    // gone within the bound; nothing when it still runs then (stop() kills it later).
    std::optional<int> terminate(std::chrono::milliseconds bound);
    // Ends the process in any case: terminate, then SIGKILL.
    void stop(std::chrono::milliseconds bound = std::chrono::seconds(5));

    bool running() const { return pid > 0; }

private:
    std::optional<int> exited(); // reaps the process if it ended

    pid_t pid = -1;
    int outputFd = -1;
    std::string pending;
};

} // namespace pelimo::test
