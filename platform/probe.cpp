#include "platform/probe.h"

#include "platform/syscalls.h"
#include "platform/uniquefd.h"

#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace vell::platform {

int probeFolder(int dirFd, const QByteArray &name)
{
    if (name.isEmpty() || name.contains('\0'))
        return -EINVAL;
    const UniqueFd fd(
        sys::retry([&] { return ::openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!fd.valid())
        return sys::negErrno();
    // The listing must start: one read, whatever it holds. Room for one
    // entry of the longest name is enough.
    alignas(struct dirent64) char buffer[sizeof(struct dirent64) + NAME_MAX + 1];
    if (sys::retry([&] { return ::getdents64(fd.get(), buffer, sizeof buffer); }) < 0)
        return sys::negErrno();
    return 0;
}

int probeEntry(int dirFd, const QByteArray &name)
{
    if (name.isEmpty() || name.contains('\0'))
        return -EINVAL;
    struct stat st;
    return sys::statAt(dirFd, name, st);
}

} // namespace vell::platform
