#include "engine/folderlister.h"

#include "platform/mounts.h"
#include "platform/uniquefd.h"

#include <csignal>
#include <pthread.h>
#include <new>
#include <system_error>

namespace vell {

using namespace platform;

namespace {

// The helper stops this many listings, or entries, ahead of the walk:
// enough to keep it busy, little enough that memory stays small.
constexpr std::size_t ReadyLimit = 64;
constexpr std::size_t ReadyEntryLimit = 100000;
// Once stopped by a limit, it goes on only when the walk has taken half of
// what it holds, rather than at each listing taken.

} // namespace

FolderListing ListFolderAt(int dirFd, bool withDosAttrib)
{
    FolderListing listing;
    listing.listedAt = FolderListing::Clock::now();
    if (const int rc = identityOf(dirFd, listing.dev, listing.ino); rc < 0) {
        listing.rc = rc;
        return listing;
    }
    listing.rc = listFolder(dirFd, listing.entries, withDosAttrib, &listing.extras);
    return listing;
}

PendingListing::PendingListing(PendingListing &&other) noexcept
    : m_lister(std::exchange(other.m_lister, nullptr)), m_key(other.m_key)
{
}

PendingListing &PendingListing::operator=(PendingListing &&other) noexcept
{
    if (this != &other) {
        if (m_lister)
            m_lister->drop(m_key);
        m_lister = std::exchange(other.m_lister, nullptr);
        m_key = other.m_key;
    }
    return *this;
}

PendingListing::~PendingListing()
{
    if (m_lister)
        m_lister->drop(m_key);
}

FolderLister::FolderLister(bool helperThread)
{
    if (!helperThread)
        return;
    try {
        m_helper = std::thread([this] { work(); });
    } catch (const std::system_error &) {
        // No thread to be had: every listing is made by take(), as before.
    }
}

FolderLister::~FolderLister()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_helperWake.notify_all();
    if (m_helper.joinable())
        m_helper.join();
}

PendingListing FolderLister::ask(int rootFd, const QByteArray &rel, bool withDosAttrib)
{
    uint64_t key = 0;
    {
        const std::lock_guard lock(m_mutex);
        key = m_nextKey++;
        m_waiting.emplace(key, Request{rootFd, rel, withDosAttrib});
        wakeHelperIfItMayList();
    }
    return PendingListing(this, key);
}

FolderListing FolderLister::take(PendingListing &&pending)
{
    FolderLister *const lister = std::exchange(pending.m_lister, nullptr);
    if (lister != this)
        return FolderListing{};
    const uint64_t key = pending.m_key;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (const auto ready = m_ready.find(key); ready != m_ready.end()) {
            FolderListing listing = std::move(ready->second);
            m_readyEntries -= listing.entries.size();
            m_ready.erase(ready);
            wakeHelperIfItMayList();
            return listing;
        }
        if (const auto waiting = m_waiting.find(key); waiting != m_waiting.end()) {
            const Request request = std::move(waiting->second);
            m_waiting.erase(waiting);
            lock.unlock();
            return list(request);
        }
        if (m_waiting.empty()) {
            m_walkAsleep = true;
            m_walkWake.wait(lock);
            m_walkAsleep = false;
            continue;
        }
        // The helper is reading this one: read the next one meanwhile
        // rather than wait.
        const auto next = std::prev(m_waiting.end());
        const uint64_t nextKey = next->first;
        const Request request = std::move(next->second);
        m_waiting.erase(next);
        lock.unlock();
        FolderListing listing = list(request);
        lock.lock();
        keepReady(nextKey, std::move(listing));
    }
}

void FolderLister::drop(uint64_t key)
{
    {
        const std::lock_guard lock(m_mutex);
        if (const auto ready = m_ready.find(key); ready != m_ready.end()) {
            m_readyEntries -= ready->second.entries.size();
            m_ready.erase(ready);
        } else if (m_waiting.erase(key) == 0 && m_busyKey == key) {
            m_dropBusy = true;
        }
        wakeHelperIfItMayList();
    }
}

// Under the lock.
bool FolderLister::helperMayList()
{
    if (m_helperHeld)
        m_helperHeld = m_ready.size() > ReadyLimit / 2 || m_readyEntries > ReadyEntryLimit / 2;
    else
        m_helperHeld = m_ready.size() >= ReadyLimit || m_readyEntries >= ReadyEntryLimit;
    return !m_waiting.empty() && !m_helperHeld;
}

// Under the lock.
void FolderLister::wakeHelperIfItMayList()
{
    if (m_helperAsleep && helperMayList())
        m_helperWake.notify_one();
}

void FolderLister::work()
{
    // Signals (the service's stop, pause and continue) go to the walk's
    // thread, whose handlers and event loop expect them.
    sigset_t all;
    sigfillset(&all);
    (void)pthread_sigmask(SIG_BLOCK, &all, nullptr); // fails only for a bad argument
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_helperAsleep = true;
        m_helperWake.wait(lock, [&] { return m_stopping || helperMayList(); });
        m_helperAsleep = false;
        if (m_stopping)
            return;
        const auto last = std::prev(m_waiting.end());
        const uint64_t key = last->first;
        const Request request = std::move(last->second);
        m_waiting.erase(last);
        m_busyKey = key;
        m_dropBusy = false;
        lock.unlock();
        FolderListing listing = list(request);
        lock.lock();
        if (!m_dropBusy)
            keepReady(key, std::move(listing));
        m_busyKey = 0;
        if (m_walkAsleep)
            m_walkWake.notify_one(); // the walk waits for this listing
    }
}

void FolderLister::keepReady(uint64_t key, FolderListing &&listing)
{
    m_readyEntries += listing.entries.size();
    m_ready.emplace(key, std::move(listing));
}

FolderListing FolderLister::list(const Request &request)
{
    // Out of memory is not worth ending the program for: the walk lists the
    // folder again itself, and copes there as it always did.
    try {
        return listOrThrow(request);
    } catch (const std::bad_alloc &) {
        return FolderListing{};
    }
}

FolderListing FolderLister::listOrThrow(const Request &request)
{
    const int fd = openFolderBeneath(request.rootFd, request.rel);
    if (fd < 0) {
        FolderListing failed;
        failed.rc = fd;
        return failed;
    }
    const UniqueFd folder(fd);
    return ListFolderAt(folder.get(), request.withDosAttrib);
}

} // namespace vell
