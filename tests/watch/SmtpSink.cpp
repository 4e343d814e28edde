#include "SmtpSink.h"

#include "platform/FileSystem.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace pelimo::test {

SmtpSink::SmtpSink(std::string dir) : folder(std::move(dir))
{
    int in[2];
    int out[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string python = "/usr/bin/python3";
    std::string script = PELIMO_SMTP_SINK_SCRIPT;
    char* argv[] = {python.data(), script.data(), folder.data(), nullptr};
    if (posix_spawn(&pid, python.c_str(), &actions, nullptr, argv, environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdinFd = in[1];

    // The port line, within ten seconds.
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    while (pid > 0 && line.find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0) {
        char buf[64];
        const ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        line.append(buf, static_cast<size_t>(n));
    }
    ::close(out[0]);
    listeningPort = std::atoi(line.c_str());
}

SmtpSink::~SmtpSink()
{
    if (stdinFd >= 0)
        ::close(stdinFd);
    if (pid > 0) {
        for (int i = 0; i < 50; ++i) {
            if (::waitpid(pid, nullptr, WNOHANG) == pid)
                return;
            ::usleep(100000);
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
}

std::vector<std::string> SmtpSink::messages() const
{
    std::vector<std::string> out;
    for (int n = 1;; ++n) {
        const auto bytes = platform::readWholeFile(folder + "/mail-" + std::to_string(n) + ".eml", 1 << 20);
        if (!bytes)
            break;
        out.push_back(*bytes);
    }
    return out;
}

} // namespace pelimo::test
