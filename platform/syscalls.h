#pragma once

// Helpers shared by the platform/*.cpp files: EINTR retries, paths that
// reach an entry through a descriptor, extended attribute reads that grow
// their buffer, temporary names. Not for use outside platform/.

#include <QByteArray>
#include <cerrno>
#include <cstdint>
#include <sys/stat.h>
#include <time.h>

namespace vell::platform::sys {

// Calls f until it stops failing with EINTR; returns its last result.
template<typename F>
auto retry(F &&f) -> decltype(f())
{
    decltype(f()) r;
    do {
        r = f();
    } while (r < 0 && errno == EINTR);
    return r;
}

// -errno of the last failed call, never 0 (a call that fails without
// setting errno still counts as a failure).
[[nodiscard]] inline int negErrno() { return errno > 0 ? -errno : -EIO; }

// "/proc/self/fd/N/name": the entry `name` of the folder open as dirFd, for
// the calls that have no *at form (the l*xattr family). With AT_FDCWD the
// name itself.
[[nodiscard]] QByteArray entryPath(int dirFd, const QByteArray &name);

// "/proc/self/fd/N": the very inode open as fd (an O_PATH descriptor),
// for chmod and the *xattr calls without any race on the name.
[[nodiscard]] QByteArray fdPath(int fd);

// fstatat(dirFd, name, AT_SYMLINK_NOFOLLOW); 0 or -errno.
[[nodiscard]] int statAt(int dirFd, const QByteArray &name, struct stat &st);

// Opens dirFd/name as O_PATH|O_NOFOLLOW (never opens the file itself, so a
// FIFO or device is safe) and fills st. Returns the descriptor or -errno.
[[nodiscard]] int openPathAt(int dirFd, const QByteArray &name, struct stat &st);

// Reads the extended attribute `attr` of path (the final link not followed
// when noFollow) into value. 0, or -errno (-ENODATA when absent).
[[nodiscard]] int getXattr(const QByteArray &path, const char *attr, QByteArray &value, bool noFollow = true);
// The same through an open descriptor.
[[nodiscard]] int getXattrFd(int fd, const char *attr, QByteArray &value);
// Every attribute name of the open file, each NUL-terminated in names.
[[nodiscard]] int listXattrFd(int fd, QByteArray &names);

// A fresh name of Vell's temporary files: ".vell-tmp-" and 6 letters or
// digits.
[[nodiscard]] QByteArray temporaryName();

// Takes the lock by which a copy says its new file is live (an exclusive
// flock on this open file description, held until it is closed). 0 also
// where the file system has no locks: the age rule of
// removeStaleTemporary then guards the file, which cannot be locked by
// anyone else either. Otherwise -errno.
[[nodiscard]] int lockTemporary(int fd);

// removeStaleTemporary() for the given user and clock, so that tests can
// age a file or be another user without waiting or privileges.
[[nodiscard]] int removeStaleTemporaryAs(int dirFd, const QByteArray &name, uid_t user,
                                         const struct timespec &now);

} // namespace vell::platform::sys
