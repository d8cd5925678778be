#include "config/folderprobe.h"

#include "platform/pathcodec.h"
#include "platform/probe.h"

#include <fcntl.h>

namespace vell {

bool FolderExists(const QString &path)
{
    return !path.isEmpty() && platform::probeFolder(AT_FDCWD, PathToBytes(path)) == 0;
}

bool IsOnMacintoshVolume(const QString &folder)
{
    static const QByteArray Probe = QByteArrayLiteral("/Network Trash Folder");
    QByteArray path = PathToBytes(folder);
    for (;;) {
        if (platform::probeEntry(AT_FDCWD, path + Probe) == 0)
            return true;
        const qsizetype slash = path.lastIndexOf('/');
        if (slash < 0)
            return false;
        path.truncate(slash);
    }
}

} // namespace vell
