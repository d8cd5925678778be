#include "platform/syscalls.h"

#include "platform/fileops.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace vell::platform {

namespace {

// Most values (DOSATTRIB, AfpInfo) fit; larger ones are sized first.
constexpr size_t FirstXattrBuffer = 256;

} // namespace

int duplicateFd(int fd)
{
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    return copy >= 0 ? copy : sys::negErrno();
}

namespace sys {

QByteArray entryPath(int dirFd, const QByteArray &name)
{
    if (dirFd == AT_FDCWD)
        return name;
    return "/proc/self/fd/" + QByteArray::number(dirFd) + '/' + name;
}

QByteArray fdPath(int fd) { return "/proc/self/fd/" + QByteArray::number(fd); }

int statAt(int dirFd, const QByteArray &name, struct stat &st)
{
    if (::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return negErrno();
    return 0;
}

int openPathAt(int dirFd, const QByteArray &name, struct stat &st)
{
    const int fd = retry([&] { return ::openat(dirFd, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC); });
    if (fd < 0)
        return negErrno();
    if (::fstat(fd, &st) != 0) {
        const int err = negErrno();
        ::close(fd);
        return err;
    }
    return fd;
}

namespace {

// One sized read loop for both the path and the descriptor forms: a value
// that grows between the size query and the read is asked for again.
template<typename Get>
int readGrowing(Get &&get, QByteArray &value)
{
    QByteArray buffer(FirstXattrBuffer, Qt::Uninitialized);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t n = get(buffer.data(), size_t(buffer.size()));
        if (n >= 0) {
            buffer.truncate(n);
            value = buffer;
            return 0;
        }
        if (errno != ERANGE)
            return negErrno();
        const ssize_t needed = get(nullptr, 0);
        if (needed < 0)
            return negErrno();
        buffer.resize(qMax<qsizetype>(needed, buffer.size() * 2));
    }
    return -ERANGE;
}

} // namespace

int getXattr(const QByteArray &path, const char *attr, QByteArray &value, bool noFollow)
{
    return readGrowing(
        [&](char *buf, size_t size) {
            return noFollow ? ::lgetxattr(path.constData(), attr, buf, size)
                            : ::getxattr(path.constData(), attr, buf, size);
        },
        value);
}

int getXattrFd(int fd, const char *attr, QByteArray &value)
{
    return readGrowing([&](char *buf, size_t size) { return ::fgetxattr(fd, attr, buf, size); }, value);
}

int listXattrFd(int fd, QByteArray &names)
{
    return readGrowing([&](char *buf, size_t size) { return ::flistxattr(fd, buf, size); }, names);
}

} // namespace sys

} // namespace vell::platform
