#pragma once

#include "engine/fileoperations.h"
#include "platform/uniquefd.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vell {

// A few threads that run file copies (CopyWork) while the walk's thread
// goes on deciding. Each copy is a ticket the walk waits for in its own
// order; nothing here counts or records.
class CopyPool final
{
public:
    struct Job
    {
        CopyRequest request;             // its descriptors are the two below
        platform::UniqueFd source, target; // duplicates: the walk may close its own
        CopyOutcome outcome;
        bool done = false;               // outcome set (under the pool's lock)
    };
    using Ticket = std::shared_ptr<Job>;

    // `workers` threads (at least one), started at once; their signals are
    // blocked, as the folder lister's.
    explicit CopyPool(int workers);
    // stop(), then waits for the threads.
    ~CopyPool();
    Q_DISABLE_COPY_MOVE(CopyPool)

    // The threads for the setting CopiesSimultanees: 0 picks min(4, cores),
    // 1 (or a single core) none, no pool at all.
    [[nodiscard]] static int workersFor(int copiesAtOnce);

    // Queues a copy of the request's files; its descriptors are duplicated
    // first (nullptr when that fails, or no thread could be made: the
    // caller copies it itself). A copy `endsOnStop` is ended by stop(), as
    // the walk's own copy of a large file is; the others run to their end.
    [[nodiscard]] Ticket submit(CopyRequest request, bool endsOnStop);
    // Waits at most `slice` for the ticket; true when its outcome is set.
    // One thread only (the walk's) waits.
    bool wait(const Ticket &ticket, std::chrono::milliseconds slice);
    // The user stopped: the copies that end on a stop are asked to end.
    // Every other copy handed in was decided before the stop, as a walk
    // copying one file after the other had made it: it is made.
    void stop() { m_stop->store(true); }

private:
    void work();

    std::mutex m_lock;
    std::condition_variable m_queued;
    std::condition_variable m_finished;
    std::deque<Ticket> m_queue;
    const Job *m_awaited = nullptr; // the ticket wait() sleeps for
    std::shared_ptr<std::atomic<bool>> m_stop = std::make_shared<std::atomic<bool>>(false);
    bool m_ending = false;
    std::vector<std::thread> m_threads;
};

} // namespace vell
