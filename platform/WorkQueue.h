#pragma once

#include "platform/net/WaitInterrupt.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace pelimo::platform {

// Runs jobs one after another, in the order they were posted, on a thread of its own, so a
// job that waits on a slow peer never holds the thread that posted it. Every job is handed
// the queue's interrupt for its network waits; finishing the queue raises it, which ends the
// job that is running at once.
class WorkQueue {
public:
    using Job = std::function<void(const WaitInterrupt& interrupt)>;

    WorkQueue();
    // Finishes without grace.
    ~WorkQueue();
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // Queues the job; dropped once the queue has been finished.
    void post(Job job);
    // Waits until every job posted so far has run, at most the time given; true when it has.
    bool waitIdle(std::chrono::milliseconds timeout);
    // Gives the jobs posted so far the grace to end, then interrupts the one still running,
    // drops the rest and stops the thread. Returns within the grace and a short moment for the
    // interrupted job to return; true when every job had run. Later calls do nothing.
    bool finish(std::chrono::milliseconds grace);

private:
    struct State;
    // Shared with the thread, which a job stuck outside any interruptible wait may leave
    // running past the queue's end.
    std::shared_ptr<State> state;
    std::thread worker;
};

} // namespace pelimo::platform
