#include "platform/inotify.h"

#include "platform/syscalls.h"
#include "platform/wholefile.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace vell::platform {

namespace {

// Holds more than a thousand typical records per read; the kernel never
// splits a record, and needs at least one whole (up to NAME_MAX + 17 bytes).
constexpr size_t EventBuffer = 65536;

int addWatch(int inotifyFd, const QByteArray &path, uint32_t flags)
{
    const int wd = ::inotify_add_watch(inotifyFd, path.constData(), WatchMask | flags);
    return wd >= 0 ? wd : sys::negErrno();
}

} // namespace

int openInotify()
{
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    return fd >= 0 ? fd : sys::negErrno();
}

int watchFolderAt(int inotifyFd, int dirFd, const QByteArray &name)
{
    // A "/" would let the path leave dirFd, an empty name would watch dirFd.
    if (name.isEmpty() || name.contains('/'))
        return -EINVAL;
    // The magic link /proc/self/fd/N is followed as any inner component;
    // IN_DONT_FOLLOW applies to `name` alone.
    return addWatch(inotifyFd, sys::entryPath(dirFd, name), IN_DONT_FOLLOW | IN_ONLYDIR);
}

int watchFolderFd(int inotifyFd, int fd) { return addWatch(inotifyFd, sys::fdPath(fd), IN_ONLYDIR); }

int unwatch(int inotifyFd, int wd) { return ::inotify_rm_watch(inotifyFd, wd) == 0 ? 0 : sys::negErrno(); }

void parseWatchEvents(const char *buffer, size_t size, std::vector<WatchEvent> &out)
{
    constexpr size_t Header = sizeof(struct inotify_event);
    size_t at = 0;
    while (at < size) {
        struct inotify_event record;
        if (size - at < Header) {
            out.push_back({-1, IN_Q_OVERFLOW, 0, {}});
            return;
        }
        std::memcpy(&record, buffer + at, Header); // the buffer need not be aligned
        at += Header;
        if (record.len > size - at) {
            out.push_back({-1, IN_Q_OVERFLOW, 0, {}});
            return;
        }
        const char *name = buffer + at;
        const auto length = qsizetype(::strnlen(name, record.len));
        out.push_back({record.wd, record.mask, record.cookie, QByteArray(name, length)});
        at += record.len;
    }
}

int readWatchEvents(int inotifyFd, std::vector<WatchEvent> &out)
{
    alignas(struct inotify_event) char buffer[EventBuffer];
    const size_t before = out.size();
    for (;;) {
        const ssize_t n = sys::retry([&] { return ::read(inotifyFd, buffer, sizeof buffer); });
        if (n < 0)
            return errno == EAGAIN ? int(out.size() - before) : sys::negErrno();
        if (n == 0) // inotify never gives 0; stop rather than loop on another kind of descriptor
            return int(out.size() - before);
        parseWatchEvents(buffer, size_t(n), out);
    }
}

int64_t maxUserWatches(const char *path)
{
    QByteArray text;
    if (const int rc = readWholeFile(QString::fromLocal8Bit(path), text); rc < 0)
        return rc;
    text = text.trimmed();
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -EINVAL;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    return ok ? int64_t(value) : -EINVAL; // beyond 64 bits
}

int openMountTable()
{
    const int fd = sys::retry([] { return ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC); });
    return fd >= 0 ? fd : sys::negErrno();
}

int64_t bootNanoseconds()
{
    struct timespec ts;
    if (::clock_gettime(CLOCK_BOOTTIME, &ts) != 0)
        return sys::negErrno();
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

} // namespace vell::platform
