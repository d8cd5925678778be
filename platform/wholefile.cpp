#include "platform/wholefile.h"

#include "platform/pathcodec.h"
#include "platform/syscalls.h"
#include "platform/uniquefd.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vell::platform {

namespace {

// Writes every byte. A short count is followed by another write, which
// then fails with the reason the first one stopped (ENOSPC, EDQUOT, EFBIG
// when SIGXFSZ is ignored); a write that makes no progress and gives no
// reason counts as an I/O error rather than looping.
int writeAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = sys::retry([&] { return ::write(fd, p, size_t(left)); });
        if (n < 0)
            return sys::negErrno();
        if (n == 0)
            return -EIO;
        p += n;
        left -= n;
    }
    return 0;
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray temporaryPathOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return path.left(slash + 1) + '.' + path.mid(slash + 1) + ".vell-new";
}

// The file a write must replace: `path`, or what a link there names.
int resolveTarget(QByteArray &target, struct stat &st, bool &existed)
{
    existed = false;
    if (::lstat(target.constData(), &st) != 0)
        return errno == ENOENT ? 0 : sys::negErrno();
    if (S_ISLNK(st.st_mode)) {
        char *real = ::realpath(target.constData(), nullptr);
        if (real == nullptr)
            return sys::negErrno();
        target = real;
        std::free(real);
        if (::stat(target.constData(), &st) != 0)
            return sys::negErrno();
    }
    if (S_ISDIR(st.st_mode))
        return -EISDIR;
    existed = true;
    return 0;
}

// Writes, flushes and closes the temporary file.
int fillTemporary(const QByteArray &tmp, const QByteArray &data, bool existed, const struct stat &old)
{
    UniqueFd fd(sys::retry(
        [&] { return ::open(tmp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666); }));
    if (!fd.valid())
        return sys::negErrno();
    if (existed) {
        // The new file takes the place of the old one: same permissions, and
        // the same owner when we may give it (root editing a user's file).
        if (::fchmod(fd.get(), old.st_mode & 07777) != 0)
            return sys::negErrno();
        const bool givenAway = old.st_uid != ::geteuid() || old.st_gid != ::getegid();
        if (givenAway && ::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
            // Best effort: only root may give a file away; the user's own
            // copy is still the right content.
        }
    }
    if (const int r = writeAll(fd.get(), data); r < 0)
        return r;
    // A file that did not reach the disk must not replace the old one.
    if (sys::retry([&] { return ::fsync(fd.get()); }) != 0)
        return sys::negErrno();
    // On Linux the descriptor is gone even when close reports EINTR.
    if (::close(fd.release()) != 0 && errno != EINTR)
        return sys::negErrno();
    return 0;
}

} // namespace

int readWholeFile(const QString &path, QByteArray &out)
{
    out.clear();
    const QByteArray bytes = PathToBytes(path);
    const UniqueFd fd(sys::retry([&] { return ::open(bytes.constData(), O_RDONLY | O_CLOEXEC); }));
    if (!fd.valid())
        return sys::negErrno();
    char buffer[65536];
    for (;;) {
        const ssize_t n = sys::retry([&] { return ::read(fd.get(), buffer, sizeof buffer); });
        if (n < 0) {
            const int err = sys::negErrno();
            out.clear();
            return err;
        }
        if (n == 0)
            return 0;
        out.append(buffer, n);
    }
}

QString atomicTemporaryPath(const QString &path)
{
    return PathFromBytes(temporaryPathOf(PathToBytes(path)));
}

int writeFileAtomically(const QString &path, const QByteArray &data)
{
    QByteArray target = PathToBytes(path);
    struct stat old {};
    bool existed = false;
    if (const int r = resolveTarget(target, old, existed); r < 0)
        return r;

    const QByteArray tmp = temporaryPathOf(target);
    // A temporary file left by a crash of an earlier write goes first.
    if (::unlink(tmp.constData()) != 0 && errno != ENOENT)
        return sys::negErrno();
    int r = fillTemporary(tmp, data, existed, old);
    if (r == 0 && ::rename(tmp.constData(), target.constData()) != 0)
        r = sys::negErrno();
    if (r < 0) {
        (void)::unlink(tmp.constData()); // the old file is untouched; only our leftover goes
        return r;
    }
    // Make the rename itself durable. The new content is already in place,
    // so a folder that cannot be flushed does not fail the write.
    const UniqueFd dir(sys::retry(
        [&] { return ::open(folderOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (dir.valid())
        (void)sys::retry([&] { return ::fsync(dir.get()); });
    return 0;
}

int appendToFile(const QString &path, const QByteArray &data, bool exclusive)
{
    // O_NONBLOCK so that a FIFO of that name cannot hang the caller; it
    // changes nothing for a regular file.
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (exclusive ? O_EXCL : 0);
    const QByteArray bytes = PathToBytes(path);
    UniqueFd fd(sys::retry([&] { return ::open(bytes.constData(), flags, 0666); }));
    if (!fd.valid())
        return sys::negErrno();
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return sys::negErrno();
    if (!S_ISREG(st.st_mode))
        return -EINVAL;
    if (const int r = writeAll(fd.get(), data); r < 0)
        return r;
    // A network file system may report a failed write only at close.
    if (::close(fd.release()) != 0 && errno != EINTR)
        return sys::negErrno();
    return 0;
}

} // namespace vell::platform
