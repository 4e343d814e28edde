#include "history/HistoryReads.h"

namespace pelimo {
namespace {

// Long enough for the query under way to notice it is stopped.
constexpr std::chrono::milliseconds kFinishGrace{200};

} // namespace

HistoryReads::HistoryReads(std::string file, Deliver handOver)
    : path(std::move(file)), deliver(std::move(handOver)), store(std::make_shared<HistoryStore>()),
      stopping(std::make_shared<std::atomic<bool>>(false)), alive(std::make_shared<char>())
{}

HistoryReads::~HistoryReads()
{
    alive.reset();
    *stopping = true;
    queue.finish(kFinishGrace);
}

void HistoryReads::post(Job job)
{
    // Everything the job uses is its own: a query that outlasts the finish's grace may still
    // be running when this object has gone.
    queue.post([job = std::move(job), opened = store, guard = std::weak_ptr<char>(alive), path = path,
                deliver = deliver, stop = stopping](const platform::WaitInterrupt&) {
        if (!opened->isOpen() && opened->openReadOnly(path).ok())
            opened->stopReadsWhen(stop.get());
        Task handOver = job(*opened);
        if (guard.expired())
            return;
        deliver([handOver = std::move(handOver), guard] {
            if (!guard.expired())
                handOver();
        });
    });
}

} // namespace pelimo
