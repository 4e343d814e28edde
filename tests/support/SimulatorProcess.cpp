#include "tests/support/SimulatorProcess.h"

#include <chrono>
#include <cstdlib>
#include <httplib.h>

namespace pelimo::test {
namespace {

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

} // namespace

SimulatorProcess::SimulatorProcess(std::vector<std::string> extraArgs) : extraArgs(std::move(extraArgs)) {}

SimulatorProcess::~SimulatorProcess()
{
    stop();
}

bool SimulatorProcess::start()
{
    if (process.running())
        return true;
    std::vector<std::string> args = {PELIMO_LISTING_SIM_PATH, "--port", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    if (!process.start(args, {.readOutput = true}))
        return false;
    const auto line = process.readLine(std::chrono::seconds(10));
    static const std::string prefix = "listing-sim listening on http://127.0.0.1:";
    listeningPort = line && line->starts_with(prefix) ? std::atoi(line->c_str() + prefix.size()) : 0;
    if (listeningPort <= 0)
        stop();
    return listeningPort > 0;
}

void SimulatorProcess::stop()
{
    process.stop();
    listeningPort = 0;
}

std::string SimulatorProcess::baseUrl() const
{
    return "http://127.0.0.1:" + std::to_string(listeningPort);
}

std::optional<std::string> SimulatorProcess::control(const std::string& pathAndQuery)
{
    if (listeningPort <= 0)
        return std::nullopt;
    httplib::Client client("127.0.0.1", listeningPort);
    client.set_connection_timeout(2);
    client.set_read_timeout(5);
    client.set_write_timeout(2);
    const auto res = client.Get(pathAndQuery);
    if (!res || res->status != 200)
        return std::nullopt;
    return res->body;
}

std::vector<std::string> SimulatorProcess::requests()
{
    return splitLines(control("/sim/requests").value_or(""));
}

std::vector<std::string> SimulatorProcess::decodedRequests()
{
    return splitLines(control("/sim/requests/decoded").value_or(""));
}

std::vector<std::string> SimulatorProcess::pictureRequests()
{
    return splitLines(control("/sim/requests/pictures").value_or(""));
}

std::string percentEncode(const std::string& utf8)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : utf8) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

} // namespace pelimo::test
