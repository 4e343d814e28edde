#pragma once

#include "history/HistoryStore.h"
#include "platform/WorkQueue.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace pelimo {

// The long reads of the history (every watched listing's trend, the whole archive) on a thread
// of their own, through a read-only connection of their own: WAL lets it read while the
// window's connection writes, so the store keeps one writer and the window never waits on a
// lock. Jobs run one after another in the order they were asked for, so a later read never
// hands over older rows than an earlier one. Each result is handed over through deliver, which
// runs a task on the thread that owns the receiver (the window's); a result whose reads object
// has gone meanwhile is dropped.
class HistoryReads {
public:
    using Task = std::function<void()>;
    using Deliver = std::function<void(Task)>;

    // path is the file the writing store has opened (it exists and has its tables by then).
    HistoryReads(std::string path, Deliver deliver);
    // Drops the reads not yet run and stops the running one.
    ~HistoryReads();
    HistoryReads(const HistoryReads&) = delete;
    HistoryReads& operator=(const HistoryReads&) = delete;

    // Runs query on the worker and hands its result to done through deliver. A file that
    // cannot be opened reads as a closed store (nothing found).
    template <typename Query, typename Done> void read(Query query, Done done)
    {
        post([query = std::move(query), done = std::move(done)](const HistoryStore& store) mutable {
            return Task(
                [result = query(store), done = std::move(done)]() mutable { done(std::move(result)); });
        });
    }

    // Waits until every read asked for so far has run and been handed to deliver.
    bool waitIdle(std::chrono::milliseconds timeout) { return queue.waitIdle(timeout); }

private:
    using Job = std::function<Task(const HistoryStore& store)>;
    void post(Job job);

    std::string path;
    Deliver deliver;
    // Opened on the worker by its first job, used and closed only there.
    std::shared_ptr<HistoryStore> store;
    // Set as this object goes: the query under way stops instead of outliving it.
    std::shared_ptr<std::atomic<bool>> stopping;
    // Tasks in flight hold it weakly: one delivered after this object has gone is dropped.
    std::shared_ptr<char> alive;
    // Last, so it is finished (and its thread joined) before the members its jobs use go.
    platform::WorkQueue queue;
};

} // namespace pelimo
