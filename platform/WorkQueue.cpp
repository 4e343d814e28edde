#include "platform/WorkQueue.h"

#include <condition_variable>
#include <csignal>
#include <deque>
#include <mutex>
#include <pthread.h>

namespace pelimo::platform {
namespace {

// How long an interrupted job may take to return before the queue stops waiting for it (a
// name lookup, say, watches no interrupt).
constexpr std::chrono::milliseconds kInterruptedJobReturn{500};

} // namespace

struct WorkQueue::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    bool running = false; // a job is out of the queue and not yet returned
    bool stopping = false;
    bool stopped = false; // the thread has left its loop
    WaitInterrupt interrupt;

    void run()
    {
        // Termination signals are the window thread's to handle; a fault's signal stays
        // where it happens.
        sigset_t termination;
        sigemptyset(&termination);
        for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE})
            sigaddset(&termination, signal);
        pthread_sigmask(SIG_BLOCK, &termination, nullptr);
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stopping || !jobs.empty(); });
            if (stopping)
                break;
            Job job = std::move(jobs.front());
            jobs.pop_front();
            running = true;
            lock.unlock();
            job(interrupt);
            job = nullptr;
            lock.lock();
            running = false;
            changed.notify_all();
        }
        stopped = true;
        changed.notify_all();
    }
};

WorkQueue::WorkQueue() : state(std::make_shared<State>())
{
    worker = std::thread([s = state] { s->run(); });
}

WorkQueue::~WorkQueue()
{
    finish(std::chrono::milliseconds(0));
}

void WorkQueue::post(Job job)
{
    {
        const std::lock_guard lock(state->mutex);
        if (state->stopping)
            return;
        state->jobs.push_back(std::move(job));
    }
    state->changed.notify_all();
}

bool WorkQueue::waitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(state->mutex);
    return state->changed.wait_for(lock, timeout, [this] { return state->jobs.empty() && !state->running; });
}

bool WorkQueue::finish(std::chrono::milliseconds grace)
{
    if (!worker.joinable())
        return true;
    const bool done = waitIdle(grace);
    {
        const std::lock_guard lock(state->mutex);
        state->stopping = true;
        state->jobs.clear();
    }
    state->interrupt.raise();
    state->changed.notify_all();
    std::unique_lock lock(state->mutex);
    const bool ended =
        state->changed.wait_for(lock, kInterruptedJobReturn, [this] { return state->stopped; });
    lock.unlock();
    if (ended)
        worker.join();
    else
        worker.detach(); // it holds its own share of the state
    return done;
}

} // namespace pelimo::platform
