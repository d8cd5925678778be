#include "platform/fileops.h"
#include "platform/syscalls.h"
#include "platform/uniquefd.h"

#include <QRandomGenerator>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// Vell's temporary files: their names, the lock by which a copy marks its
// own as live, and the removal of those a killed copy left behind.

namespace vell::platform {

namespace {

constexpr char TemporaryPrefix[] = ".vell-tmp-";
constexpr qsizetype TemporaryPrefixLength = sizeof TemporaryPrefix - 1;
constexpr qsizetype TemporaryRandomLength = 6;
constexpr char TemporaryAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// A named temporary file exists for an instant before its copy locks it;
// one changed this recently may be such a file, so it is kept. A file
// whose change time lies in the future (a clock set back) counts as young.
constexpr time_t GraceSeconds = 60;

bool isAlphanumeric(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Errors by which flock says the file system keeps no locks (some FUSE and
// NFS mounts without a lock manager).
bool locksUnsupported(int err) { return err == ENOLCK || err == EOPNOTSUPP || err == EINVAL || err == ENOSYS; }

} // namespace

bool isTemporaryName(const QByteArray &name)
{
    // Exactly the shape temporaryName() makes, so that a user's own file
    // that merely starts with the prefix is never taken for a stale one.
    if (name.size() != TemporaryPrefixLength + TemporaryRandomLength || !name.startsWith(TemporaryPrefix))
        return false;
    for (qsizetype i = TemporaryPrefixLength; i < name.size(); ++i) {
        if (!isAlphanumeric(name.at(i)))
            return false;
    }
    return true;
}

int removeStaleTemporary(int dirFd, const QByteArray &name)
{
    struct timespec now;
    (void)::clock_gettime(CLOCK_REALTIME, &now); // cannot fail with a valid clock and pointer
    return sys::removeStaleTemporaryAs(dirFd, name, ::geteuid(), now);
}

namespace sys {

QByteArray temporaryName()
{
    QByteArray name(TemporaryPrefix);
    QRandomGenerator *const random = QRandomGenerator::global();
    for (qsizetype i = 0; i < TemporaryRandomLength; ++i)
        name.append(TemporaryAlphabet[random->bounded(int(sizeof TemporaryAlphabet - 1))]);
    return name;
}

int lockTemporary(int fd)
{
    if (retry([&] { return ::flock(fd, LOCK_EX | LOCK_NB); }) == 0)
        return 0;
    return locksUnsupported(errno) ? 0 : negErrno();
}

int removeStaleTemporaryAs(int dirFd, const QByteArray &name, uid_t user, const struct timespec &now)
{
    if (!isTemporaryName(name))
        return -EINVAL;
    // O_PATH first: a folder, link, FIFO or device of that name is seen
    // without being opened.
    struct stat st;
    const UniqueFd item(openPathAt(dirFd, name, st));
    if (!item.valid())
        return item.get();
    if (!S_ISREG(st.st_mode))
        return -EINVAL;
    if (st.st_uid != user)
        return -EPERM; // another user's file, whatever its name
    if (st.st_ctim.tv_sec > now.tv_sec - GraceSeconds)
        return -EBUSY;
    // Reopening the very inode through /proc: the lock is tried on the
    // file that was examined, even if the name has been replaced.
    const UniqueFd file(retry(
        [&] { return ::open(fdPath(item.get()).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); }));
    if (!file.valid())
        return negErrno();
    if (retry([&] { return ::flock(file.get(), LOCK_EX | LOCK_NB); }) != 0)
        return errno == EWOULDBLOCK ? -EBUSY : negErrno();
    // The name must still be this file: one put there meanwhile is not
    // known to be stale.
    struct stat named;
    if (const int rc = statAt(dirFd, name, named); rc < 0)
        return rc;
    if (named.st_dev != st.st_dev || named.st_ino != st.st_ino)
        return -EBUSY;
    if (::unlinkat(dirFd, name.constData(), 0) != 0)
        return negErrno();
    return 0;
}

} // namespace sys

} // namespace vell::platform
