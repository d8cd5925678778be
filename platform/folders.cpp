#include "platform/fileops.h"
#include "platform/syscalls.h"
#include "platform/uniquefd.h"

#include <QByteArrayList>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vell::platform {

namespace {

// openat2 answers EAGAIN when a rename elsewhere raced with the lookup;
// after this many tries the component walk takes over.
constexpr int Openat2Attempts = 16;

int openBeneathAtOnce(int rootFd, const QByteArray &relPath)
{
    struct open_how how = {};
    how.flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0; attempt < Openat2Attempts; ++attempt) {
        const long fd = sys::retry([&] { return ::syscall(SYS_openat2, rootFd, relPath.constData(), &how, sizeof how); });
        if (fd >= 0)
            return int(fd);
        if (errno != EAGAIN)
            return sys::negErrno();
    }
    return -EAGAIN;
}

// Errors for which the walk one component at a time is tried: no openat2
// (kernels before 5.6, or a sandbox that filters it with ENOSYS or EPERM),
// or a path longer than the kernel takes in one call.
bool walkInstead(int err)
{
    return err == -ENOSYS || err == -EPERM || err == -ENAMETOOLONG || err == -E2BIG || err == -EAGAIN;
}

int openBeneathByWalk(int rootFd, const QByteArray &relPath)
{
    if (relPath.startsWith('/'))
        return -EXDEV;
    UniqueFd current(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
    if (!current.valid())
        return sys::negErrno();
    for (const QByteArray &part : relPath.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..")
            return -EXDEV; // never climbs, even when it would stay beneath
        const int next = openFolderAt(current.get(), part);
        if (next < 0)
            return next;
        current.reset(next);
    }
    return current.release();
}

} // namespace

int openFolderPath(const QByteArray &path)
{
    const int fd = sys::retry([&] { return ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    return fd < 0 ? sys::negErrno() : fd;
}

int openFolderAt(int dirFd, const QByteArray &name)
{
    const int fd = sys::retry(
        [&] { return ::openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); });
    if (fd >= 0)
        return fd;
    const int err = sys::negErrno();
    // O_DIRECTORY answers ENOTDIR for a link as for a file; tell them
    // apart as openat2 does.
    struct stat st;
    if (err == -ENOTDIR && sys::statAt(dirFd, name, st) == 0 && S_ISLNK(st.st_mode))
        return -ELOOP;
    return err;
}

int openFolderBeneath(int rootFd, const QByteArray &relPath)
{
    if (relPath.isEmpty()) {
        const int fd = ::fcntl(rootFd, F_DUPFD_CLOEXEC, 0);
        return fd < 0 ? sys::negErrno() : fd;
    }
    const int fd = openBeneathAtOnce(rootFd, relPath);
    // ENOTDIR may stand for a link at the end (O_DIRECTORY looks at the
    // link itself): the walk tells a link (ELOOP) from a file.
    if (fd >= 0 || (!walkInstead(fd) && fd != -ENOTDIR))
        return fd;
    return openBeneathByWalk(rootFd, relPath);
}

int deleteFile(int dirFd, const QByteArray &name)
{
    // Flags 0: unlinkat refuses a folder with EISDIR.
    if (::unlinkat(dirFd, name.constData(), 0) != 0)
        return sys::negErrno();
    return 0;
}

int createFolder(int dirFd, const QByteArray &name)
{
    // 0777: the umask or the parent's default ACL decide, as for any folder
    // a program makes.
    if (::mkdirat(dirFd, name.constData(), 0777) != 0)
        return sys::negErrno();
    return 0;
}

int removeFolder(int dirFd, const QByteArray &name)
{
    if (::unlinkat(dirFd, name.constData(), AT_REMOVEDIR) != 0)
        return sys::negErrno();
    return 0;
}

int flushFolder(int dirFd)
{
    if (sys::retry([&] { return ::fsync(dirFd); }) != 0)
        return sys::negErrno();
    return 0;
}

int flushFile(int dirFd, const QByteArray &name)
{
    struct stat st;
    if (const int rc = sys::statAt(dirFd, name, st); rc < 0)
        return rc;
    if (!S_ISREG(st.st_mode))
        return -EINVAL; // links and special files have no data to flush
    const UniqueFd fd(sys::retry([&] {
        return ::openat(dirFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }));
    if (!fd.valid())
        return sys::negErrno();
    struct stat opened;
    if (::fstat(fd.get(), &opened) != 0)
        return sys::negErrno();
    if (!S_ISREG(opened.st_mode))
        return -EINVAL;
    if (sys::retry([&] { return ::fdatasync(fd.get()); }) != 0)
        return sys::negErrno();
    return 0;
}

} // namespace vell::platform
