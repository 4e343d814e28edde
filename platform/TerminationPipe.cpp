#include "platform/TerminationPipe.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace pelimo::platform {
namespace {

int g_pipe[2] = {-1, -1};
bool g_caught = false;

extern "C" void onTerminationSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a pending request; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

bool catchTerminationSignals()
{
    if (g_caught)
        return true;
    // The pipe outlives a release, so a byte written before it is still read afterwards.
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return false;
    }
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    g_caught = true;
    return true;
}

int terminationSignalDescriptor()
{
    return g_pipe[0];
}

bool terminationSignalPending()
{
    if (g_pipe[0] < 0)
        return false;
    pollfd p{g_pipe[0], POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN) != 0;
}

void drainTerminationSignals()
{
    if (g_pipe[0] < 0)
        return;
    char buffer[64];
    while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
    }
}

void releaseTerminationSignals()
{
    if (!g_caught)
        return;
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGINT, SIG_DFL);
    g_caught = false;
}

} // namespace pelimo::platform
