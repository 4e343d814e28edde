#include "tests/support/ChildProcess.h"

#include "tests/support/LoopbackListener.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace pelimo::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

int milliseconds(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// The test's environment with the given entries added or put in place of the same name.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& changes)
{
    std::vector<std::string> out;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view own(*entry);
        bool replaced = false;
        for (const std::string& change : changes)
            replaced = replaced || own.substr(0, own.find('=') + 1) == change.substr(0, change.find('=') + 1);
        if (!replaced)
            out.emplace_back(own);
    }
    out.insert(out.end(), changes.begin(), changes.end());
    return out;
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> out;
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

int statusOf(int raw)
{
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

} // namespace

bool ChildProcess::start(const std::vector<std::string>& argv, const Options& options)
{
    std::string ignored;
    return start(argv, options, ignored);
}

bool ChildProcess::start(const std::vector<std::string>& argv, const Options& options, std::string& error)
{
    if (pid > 0 || argv.empty()) {
        error = pid > 0 ? "already running" : "no program given";
        return false;
    }
    std::vector<std::string> args = argv;
    std::vector<std::string> env = mergedEnvironment(options.environment);
    std::vector<char*> argPointers = pointers(args);
    std::vector<char*> envPointers = pointers(env);
    int output = -1;
    if (!options.outputFile.empty()) {
        output = ::open(options.outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (output < 0) {
            error = "cannot write " + options.outputFile;
            return false;
        }
    }
    int outPipe[2] = {-1, -1};
    if (options.readOutput && ::pipe2(outPipe, O_CLOEXEC) != 0) {
        error = "pipe failed";
        if (output >= 0)
            ::close(output);
        return false;
    }

    // posix_spawn rather than fork: no copy of a large test process's page tables, so the
    // benchmarks that time a program measure the program.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output >= 0) {
        posix_spawn_file_actions_adddup2(&actions, output, STDERR_FILENO);
        if (!options.readOutput)
            posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    }
    if (options.readOutput)
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    if (!options.workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingFolder.c_str());
    // A name without a slash is looked up on PATH.
    const int rc =
        ::posix_spawnp(&pid, argPointers[0], &actions, nullptr, argPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {output, outPipe[1]})
        if (fd >= 0)
            ::close(fd);
    outputFd = outPipe[0];
    if (rc != 0) {
        pid = -1;
        stop();
        error = "cannot start " + argv[0] + ": " + std::strerror(rc);
        return false;
    }
    return true;
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds bound)
{
    const auto deadline = Clock::now() + bound;
    for (;;) {
        const size_t lf = pending.find('\n');
        if (lf != std::string::npos) {
            std::string line = pending.substr(0, lf);
            pending.erase(0, lf + 1);
            return line;
        }
        if (outputFd < 0)
            return std::nullopt;
        pollfd readable{outputFd, POLLIN, 0};
        const int ready = ::poll(&readable, 1, milliseconds(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return std::nullopt;
        char buffer[512];
        const ssize_t n = ::read(outputFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        pending.append(buffer, static_cast<size_t>(n));
    }
}

bool ChildProcess::waitForPort(uint16_t port, std::chrono::milliseconds bound)
{
    const auto deadline = Clock::now() + bound;
    while (running()) {
        if (canConnectToLoopback(port))
            return true;
        if (Clock::now() >= deadline || wait(20ms))
            return false;
    }
    return false;
}

std::optional<int> ChildProcess::exited()
{
    if (pid <= 0)
        return std::nullopt;
    int raw = 0;
    if (::waitpid(pid, &raw, WNOHANG) != pid)
        return std::nullopt;
    pid = -1;
    return statusOf(raw);
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds bound)
{
    if (pid <= 0)
        return std::nullopt;
    // A process file descriptor turns readable when the process ends: no polling delay, which
    // the benchmarks that time a program rely on.
    const int processFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    const auto deadline = Clock::now() + bound;
    std::optional<int> status;
    while (!(status = exited()) && Clock::now() < deadline) {
        if (processFd >= 0) {
            pollfd ended{processFd, POLLIN, 0};
            ::poll(&ended, 1, milliseconds(deadline));
        } else {
            std::this_thread::sleep_for(5ms);
        }
    }
    if (processFd >= 0)
        ::close(processFd);
    return status;
}

std::optional<int> ChildProcess::terminate(std::chrono::milliseconds bound)
{
    if (pid <= 0)
        return std::nullopt;
    ::kill(pid, SIGTERM);
    return wait(bound);
}

void ChildProcess::stop(std::chrono::milliseconds bound)
{
    if (pid > 0 && !terminate(bound)) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
    if (outputFd >= 0)
        ::close(outputFd);
    outputFd = -1;
    pending.clear();
}

} // namespace pelimo::test
