#include "oplog/logfiles.h"

#include "platform/uniquefd.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vell::logfiles {

using platform::UniqueFd;

namespace {

int openRetrying(const char *path, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? -errno : fd;
}

int writeAll(int fd, const QByteArray &data)
{
    const char *p = data.constData();
    size_t left = size_t(data.size());
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -errno;
        }
        p += n;
        left -= size_t(n);
    }
    return 0;
}

// The entry's type without following a link, from the listing when the
// file system reports it.
bool isRegularEntry(int dirFd, const struct dirent *entry)
{
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type == DT_REG;
    struct stat st;
    return ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

} // namespace

int entryExists(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 ? 0 : -errno;
}

int appendToFile(const QByteArray &path, const QByteArray &data, bool exclusive)
{
    // O_NONBLOCK so that a FIFO of that name cannot hang the run; it changes
    // nothing for a regular file.
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (exclusive ? O_EXCL : 0);
    const int opened = openRetrying(path.constData(), flags, 0666);
    if (opened < 0)
        return opened;
    UniqueFd fd(opened);
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return -errno;
    if (!S_ISREG(st.st_mode))
        return -EINVAL;
    const int written = writeAll(fd.get(), data);
    if (written < 0)
        return written;
    // A network file system may report a failed write only at close.
    if (::close(fd.release()) != 0 && errno != EINTR)
        return -errno;
    return 0;
}

int listRegularFiles(const QByteArray &folder, QByteArrayList &names)
{
    names.clear();
    const int opened = openRetrying(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (opened < 0)
        return opened;
    DIR *dir = ::fdopendir(opened);
    if (!dir) {
        const int error = -errno;
        (void)::close(opened);
        return error;
    }
    const int dirFd = ::dirfd(dir);
    int result = 0;
    for (;;) {
        errno = 0;
        const struct dirent *entry = ::readdir(dir);
        if (!entry) {
            result = errno != 0 ? -errno : 0;
            break;
        }
        if (isRegularEntry(dirFd, entry))
            names.append(QByteArray(entry->d_name));
    }
    (void)::closedir(dir); // read-only: nothing to lose
    return result < 0 ? result : int(names.size());
}

int deleteRegularFile(const QByteArray &folder, const QByteArray &name)
{
    const int opened = openRetrying(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (opened < 0)
        return opened;
    const UniqueFd dir(opened);
    struct stat st;
    if (::fstatat(dir.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return -errno;
    if (!S_ISREG(st.st_mode))
        return -EINVAL;
    // Without AT_REMOVEDIR unlinkat refuses a folder, and it removes a link
    // itself, so an entry swapped since the check cannot take anything else.
    return ::unlinkat(dir.get(), name.constData(), 0) == 0 ? 0 : -errno;
}

} // namespace vell::logfiles
