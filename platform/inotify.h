#pragma once

// The kernel's folder watches (inotify) as the watched runs use them: one
// instance per process, one watch per folder, events read in batches. Like
// the rest of platform/: a descriptor, a count or 0 on success, -errno on
// failure; nothing here throws or logs.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <sys/inotify.h>
#include <vector>

namespace vell::platform {

// What every watch asks for: any change of a name, of data, of times,
// mode, extended attributes or ACLs in the folder, and the folder's own
// removal or move. Not IN_CLOSE_WRITE (a write already gave IN_MODIFY), not
// IN_ACCESS or IN_OPEN (Vell's own reads and listings stay silent).
// IN_EXCL_UNLINK: a file unlinked while still open raises nothing more.
constexpr uint32_t WatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_ATTRIB
    | IN_DELETE_SELF | IN_MOVE_SELF | IN_EXCL_UNLINK;

// inotify_init1(IN_NONBLOCK|IN_CLOEXEC). The descriptor (the caller owns
// it) or -errno (-EMFILE when the user's 128 instances are taken).
[[nodiscard]] int openInotify();

// Watches the sub-folder `name` of dirFd, through
// "/proc/self/fd/<dirFd>/<name>": the very folder the walk sees, with no
// race on a path. A link is never followed (-ENOTDIR), nor anything but a
// folder; a name that is empty or holds "/" is refused (-EINVAL). The
// same folder watched twice, by any path, gives the same watch descriptor.
// Returns the watch descriptor (> 0) or -errno (-ENOSPC past
// max_user_watches, -EACCES when the folder cannot be read).
[[nodiscard]] int watchFolderAt(int inotifyFd, int dirFd, const QByteArray &name);

// Watches the folder open as fd (any descriptor of it, O_PATH included).
// The watch descriptor or -errno, as watchFolderAt.
[[nodiscard]] int watchFolderFd(int inotifyFd, int fd);

// Removes a watch (inotify_rm_watch); the kernel then queues IN_IGNORED
// for it. 0 or -errno (-EINVAL when wd is not, or no longer, a watch).
[[nodiscard]] int unwatch(int inotifyFd, int wd);

// One event: wd -1 with IN_Q_OVERFLOW when the kernel's queue overflowed;
// `name` empty for an event of the watched folder itself; `cookie` pairs
// IN_MOVED_FROM with its IN_MOVED_TO.
struct WatchEvent
{
    int32_t wd = -1;
    uint32_t mask = 0;
    uint32_t cookie = 0;
    QByteArray name;
};

// Reads every pending event (until the non-blocking descriptor says
// EAGAIN) and appends them to `out`. Returns how many were appended, or
// -errno when a read fails (`out` then keeps those read before).
[[nodiscard]] int readWatchEvents(int inotifyFd, std::vector<WatchEvent> &out);

// Appends the struct inotify_event records of `buffer` to `out`; a name
// ends at its first NUL or at the record's length. A record cut short or
// claiming more bytes than the buffer holds cannot be trusted: parsing
// stops there and an IN_Q_OVERFLOW event (wd -1) is appended, so that the
// reader falls back to reading everything, as after a real overflow.
void parseWatchEvents(const char *buffer, size_t size, std::vector<WatchEvent> &out);

// The per-user watch limit, read from `path`: the number, or -errno
// (-EINVAL when the file does not hold one non-negative decimal number).
[[nodiscard]] int64_t maxUserWatches(const char *path = "/proc/sys/fs/inotify/max_user_watches");

// /proc/self/mountinfo opened for poll(): it reports POLLPRI (and
// POLLERR) once after each change of this process's mount table. The
// descriptor (the caller owns it) or -errno.
[[nodiscard]] int openMountTable();

// Nanoseconds of CLOCK_BOOTTIME, which counts the time spent suspended (a
// laptop that slept an hour has had an hour without a full run), or
// -errno.
[[nodiscard]] int64_t bootNanoseconds();

} // namespace vell::platform
