#include "tests/support/SimulatorProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <httplib.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

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

// Reads one line from fd, waiting at most until the deadline.
std::optional<std::string> readLine(int fd, std::chrono::steady_clock::time_point deadline)
{
    std::string line;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return std::nullopt;
        pollfd watch{fd, POLLIN, 0};
        const int ready = poll(&watch, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char c = 0;
        const ssize_t got = read(fd, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return std::nullopt;
        if (c == '\n')
            return line;
        line += c;
    }
}

} // namespace

SimulatorProcess::SimulatorProcess(std::vector<std::string> extraArgs) : extraArgs(std::move(extraArgs)) {}

SimulatorProcess::~SimulatorProcess()
{
    stop();
}

bool SimulatorProcess::start()
{
    if (pid > 0)
        return true;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;

    std::vector<std::string> args = {PELIMO_LISTING_SIM_PATH, "--port", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        pid = -1;
        close(pipeFds[0]);
        return false;
    }

    const auto line = readLine(pipeFds[0], std::chrono::steady_clock::now() + std::chrono::seconds(10));
    close(pipeFds[0]);
    static const std::string prefix = "listing-sim listening on http://127.0.0.1:";
    if (!line || line->rfind(prefix, 0) != 0) {
        stop();
        return false;
    }
    listeningPort = std::atoi(line->c_str() + prefix.size());
    if (listeningPort <= 0) {
        stop();
        return false;
    }
    return true;
}

void SimulatorProcess::stop()
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid = -1;
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
