#include "bench/support/CurlRun.h"

#include "tests/support/ChildProcess.h"

#include <chrono>
#include <cstdlib>
#include <fstream>

namespace pelimo::bench {

bool writeCurlConfig(const std::string& path, const std::vector<std::string>& addresses)
{
    std::ofstream config(path, std::ios::trunc);
    for (const std::string& address : addresses)
        config << "url = \"" << address << "\"\noutput = \"/dev/null\"\n";
    return static_cast<bool>(config.flush());
}

CurlRun runCurl(const std::string& configPath)
{
    using Clock = std::chrono::steady_clock;
    CurlRun run;
    test::ChildProcess curl;
    const auto start = Clock::now();
    // One line per transfer: its status and its time in seconds, as curl measured it.
    if (!curl.start(
            {"curl", "--silent", "--config", configPath, "--write-out", "%{http_code} %{time_total}\\n"},
            {.readOutput = true}))
        return run;
    bool allAnswered = true;
    while (const std::optional<std::string> line = curl.readLine(std::chrono::seconds(60))) {
        const size_t blank = line->find(' ');
        if (blank == std::string::npos)
            continue;
        ++run.transfers;
        allAnswered = allAnswered && line->compare(0, blank, "200") == 0;
        run.transferSeconds += std::strtod(line->c_str() + blank + 1, nullptr);
    }
    const std::optional<int> status = curl.wait(std::chrono::seconds(60));
    run.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.ok = status == 0 && allAnswered && run.transfers > 0;
    return run;
}

} // namespace pelimo::bench
