#include "platform/instancelock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace vell::platform {

int LockProgramFolder(const QByteArray &folder)
{
    UniqueFd fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        return -errno;
    int rc;
    do {
        rc = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0)
        return errno == EWOULDBLOCK ? -EWOULDBLOCK : -errno;
    return fd.release();
}

} // namespace vell::platform
