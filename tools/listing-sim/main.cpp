// listing-sim: the auction site's XML listing service and item pages on loopback, for the
// demo and for the tests.
#include "tools/listing-sim/SimOptions.h"
#include "tools/listing-sim/SimServer.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

int main(int argc, char** argv)
{
    using namespace pelimo::sim;
    std::string error;
    const auto options = parseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::fprintf(stderr, "listing-sim: %s\n%s", error.c_str(), kUsage);
        return 2;
    }

    // SIGTERM and SIGINT are taken by one thread with sigwait; every other thread, the
    // server's pool included, has them blocked.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SimServer server(*options);
    const int port = server.bind();
    if (port < 0) {
        std::fprintf(stderr, "listing-sim: cannot listen on 127.0.0.1:%d\n", options->port);
        return 1;
    }

    std::thread signalWaiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
    });

    std::printf("listing-sim listening on http://127.0.0.1:%d\n", port);
    std::fflush(stdout);
    const bool served = server.run();

    // Ends the waiter when serving ended on its own.
    pthread_kill(signalWaiter.native_handle(), SIGTERM);
    signalWaiter.join();
    return served ? 0 : 1;
}
