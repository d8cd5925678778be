#pragma once

// Lists folders on a second thread ahead of a walk, so that examining the
// source and examining the target share the machine's cores. The walk
// itself stays on its own thread: the helper only reads folders (open,
// getdents, stat, user.DOSATTRIB) and hands back what it saw; every
// decision, copy, deletion and yield is the walk's.

#include "platform/fileops.h"

#include <QByteArray>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vell {

// One folder as it was read.
struct FolderListing
{
    using Clock = std::chrono::steady_clock;
    int rc = -ENOENT; // 0 when listed, else -errno of the open or the listing
    Clock::time_point listedAt; // when the reading began
    dev_t dev = 0;    // the folder that was listed, to check it is the one
    ino_t ino = 0;    // the walk opened itself
    std::vector<platform::EntryInfo> entries;
    platform::ListingExtras extras; // stale temporary files for the walk to remove
};

// Lists one folder through a descriptor of the caller's thread.
[[nodiscard]] FolderListing ListFolderAt(int dirFd, bool withDosAttrib);

class FolderLister;

// A listing asked for and not yet taken. Dropping it tells the lister the
// walk no longer wants it.
class PendingListing final
{
public:
    PendingListing() = default;
    PendingListing(PendingListing &&other) noexcept;
    PendingListing &operator=(PendingListing &&other) noexcept;
    PendingListing(const PendingListing &) = delete;
    PendingListing &operator=(const PendingListing &) = delete;
    ~PendingListing();

    [[nodiscard]] bool asked() const { return m_lister != nullptr; }

private:
    friend class FolderLister;
    PendingListing(FolderLister *lister, uint64_t key) : m_lister(lister), m_key(key) {}
    FolderLister *m_lister = nullptr;
    uint64_t m_key = 0;
};

class FolderLister final
{
public:
    // Starts the helper thread; without it (or when no thread can be had),
    // take() makes every listing itself.
    explicit FolderLister(bool helperThread = true);
    ~FolderLister(); // stops the helper; listings not taken are dropped
    FolderLister(const FolderLister &) = delete;
    FolderLister &operator=(const FolderLister &) = delete;

    // Asks for the folder rel below rootFd, which must stay open until the
    // listing is taken or dropped. rel is never empty: the root's own
    // descriptor belongs to the walk, which lists it itself. The listing
    // asked for last is made first: ask for a folder's sub-folders in
    // reverse order, and a depth-first walk finds them ready in its order.
    [[nodiscard]] PendingListing ask(int rootFd, const QByteArray &rel, bool withDosAttrib);

    // The listing: made here when the helper has not started it; while the
    // helper is making it, the caller reads the next folder asked for
    // instead of waiting idle.
    [[nodiscard]] FolderListing take(PendingListing &&pending);

private:
    friend class PendingListing;
    struct Request
    {
        int rootFd = -1;
        QByteArray rel;
        bool withDosAttrib = false;
    };

    void drop(uint64_t key);
    void work();
    void keepReady(uint64_t key, FolderListing &&listing);
    [[nodiscard]] bool helperMayList();
    void wakeHelperIfItMayList();
    static FolderListing list(const Request &request);
    static FolderListing listOrThrow(const Request &request);

    // Each thread sleeps on its own condition and is woken only when what
    // it waits for may have come: a wake is two thread switches.
    std::mutex m_mutex;
    std::condition_variable m_helperWake;
    std::condition_variable m_walkWake;
    bool m_helperAsleep = false;
    bool m_walkAsleep = false;
    bool m_helperHeld = false; // stopped by the limits until half of them is free
    std::map<uint64_t, Request> m_waiting; // highest key first
    std::map<uint64_t, FolderListing> m_ready;
    std::size_t m_readyEntries = 0; // entries held in m_ready
    uint64_t m_busyKey = 0; // the request being listed by the helper, 0 when none
    bool m_dropBusy = false;
    uint64_t m_nextKey = 1;
    bool m_stopping = false;
    std::thread m_helper;
};

} // namespace vell
