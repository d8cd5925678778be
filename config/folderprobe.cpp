#include "config/folderprobe.h"

#include "platform/pathcodec.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace vell {

bool FolderExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    DIR *dir = ::opendir(PathToBytes(path).constData());
    if (dir == nullptr)
        return false;
    // The listing must start: an end of listing (nullptr, errno untouched)
    // is an empty folder, anything else an unreadable one.
    errno = 0;
    const bool readable = ::readdir(dir) != nullptr || errno == 0;
    (void)::closedir(dir); // a read-only stream: nothing to lose
    return readable;
}

bool IsOnMacintoshVolume(const QString &folder)
{
    static const QByteArray Probe = QByteArrayLiteral("/Network Trash Folder");
    QByteArray path = PathToBytes(folder);
    for (;;) {
        struct stat st {};
        if (::fstatat(AT_FDCWD, (path + Probe).constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            return true;
        const qsizetype slash = path.lastIndexOf('/');
        if (slash < 0)
            return false;
        path.truncate(slash);
    }
}

} // namespace vell
