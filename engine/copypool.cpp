#include "engine/copypool.h"

#include <csignal>
#include <pthread.h>
#include <system_error>

namespace vell {

using namespace platform;

CopyPool::CopyPool(int workers)
{
    try {
        for (int i = 0; i < qMax(1, workers); ++i)
            m_threads.emplace_back([this] { work(); });
    } catch (const std::system_error &) {
        // No more threads to be had: those made work; with none, every copy
        // is made on the walk's thread (submit() returns null).
    }
}

CopyPool::~CopyPool()
{
    stop();
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_ending = true;
    }
    m_queued.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

int CopyPool::workersFor(int copiesAtOnce)
{
    if (copiesAtOnce > 0)
        return copiesAtOnce == 1 ? 0 : copiesAtOnce;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores <= 1 ? 0 : int(qMin(4U, cores));
}

CopyPool::Ticket CopyPool::submit(CopyRequest request, bool endsOnStop)
{
    if (m_threads.empty())
        return nullptr;
    auto job = std::make_shared<Job>();
    job->source.reset(duplicateFd(request.srcDir));
    job->target.reset(duplicateFd(request.tgtDir));
    if (!job->source.valid() || !job->target.valid())
        return nullptr; // out of descriptors: the caller copies on its own thread
    request.srcDir = job->source.get();
    request.tgtDir = job->target.get();
    if (endsOnStop)
        request.proceed = [stop = m_stop] { return !stop->load(); };
    else
        request.proceed = {};
    job->request = std::move(request);
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_queue.push_back(job);
    }
    m_queued.notify_one();
    return job;
}

bool CopyPool::wait(const Ticket &ticket, std::chrono::milliseconds slice)
{
    std::unique_lock<std::mutex> hold(m_lock);
    if (ticket->done || slice.count() <= 0)
        return ticket->done;
    m_awaited = ticket.get();
    const bool done = m_finished.wait_for(hold, slice, [&] { return ticket->done; });
    m_awaited = nullptr;
    return done;
}

void CopyPool::work()
{
    sigset_t all;
    sigfillset(&all);
    (void)pthread_sigmask(SIG_BLOCK, &all, nullptr); // fails only for a bad argument
    for (;;) {
        Ticket job;
        {
            std::unique_lock<std::mutex> hold(m_lock);
            m_queued.wait(hold, [this] { return m_ending || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        CopyOutcome outcome = CopyWork(job->request);
        bool awaited = false;
        {
            const std::lock_guard<std::mutex> hold(m_lock);
            job->outcome = std::move(outcome);
            job->done = true;
            awaited = job.get() == m_awaited;
        }
        if (awaited)
            m_finished.notify_all(); // the walk sleeps for this copy alone: no wake for the others
    }
}

} // namespace vell
