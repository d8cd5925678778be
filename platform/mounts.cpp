#include "platform/mounts.h"

#include "platform/fileops.h"
#include "platform/syscalls.h"
#include "platform/wholefile.h"

#include <QByteArrayList>
#include <QString>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <vector>

#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x00002000 // Linux 5.8
#endif

namespace vell::platform {

namespace {

// fstab writes blanks and a few other characters of a path as octal
// escapes ("\040" for a blank).
QByteArray unescapeFstab(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field.at(i) == '\\' && i + 3 < field.size()) {
            const QByteArray digits = field.mid(i + 1, 3);
            bool ok = false;
            const int value = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3) {
                out.append(char(value));
                i += 3;
                continue;
            }
        }
        out.append(field.at(i));
    }
    return out;
}

QByteArray withoutTrailingSlash(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

} // namespace

int identityOf(int fd, dev_t &dev, ino_t &ino)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return sys::negErrno();
    dev = st.st_dev;
    ino = st.st_ino;
    return 0;
}

int isMountRoot(int dirFd, const QByteArray &name, bool &root)
{
    struct statx stx;
    if (::statx(dirFd, name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_INO, &stx) != 0)
        return sys::negErrno();
    if (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) {
        root = (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
        return 0;
    }
    // Kernels before 5.8: another device at least tells another file system.
    struct stat parent;
    if (::fstat(dirFd, &parent) != 0)
        return sys::negErrno();
    root = parent.st_dev != makedev(stx.stx_dev_major, stx.stx_dev_minor);
    return 0;
}

bool isSystemRoot(int dirFd)
{
    struct stat folder;
    struct stat root;
    return ::fstat(dirFd, &folder) == 0 && ::stat("/", &root) == 0 && folder.st_dev == root.st_dev
        && folder.st_ino == root.st_ino;
}

QByteArray fileSystemId(int dirFd)
{
    struct statfs fs;
    if (::fstatfs(dirFd, &fs) == 0) {
        int words[2];
        static_assert(sizeof words == sizeof fs.f_fsid);
        std::memcpy(words, &fs.f_fsid, sizeof words);
        if (words[0] != 0 || words[1] != 0)
            return "fs:" + QByteArray::number(qulonglong(fs.f_type), 16) + ':'
                + QByteArray::number(uint(words[0]), 16) + ':' + QByteArray::number(uint(words[1]), 16);
    }
    struct stat st;
    if (::fstat(dirFd, &st) != 0)
        return {};
    return "dev:" + QByteArray::number(quint64(st.st_dev), 16);
}

bool isUnmountedFstabMountPoint(const QByteArray &path, const char *fstab)
{
    QByteArray text;
    if (readWholeFile(QString::fromLocal8Bit(fstab), text) < 0)
        return false; // no fstab: nothing known to be missing
    const QByteArray wanted = withoutTrailingSlash(path);
    for (const QByteArray &raw : text.split('\n')) {
        const QByteArray line = raw.simplified();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3 || fields.at(2) == "swap")
            continue;
        if (withoutTrailingSlash(unescapeFstab(fields.at(1))) != wanted)
            continue;
        bool mounted = false;
        return isMountRoot(AT_FDCWD, wanted, mounted) == 0 && !mounted;
    }
    return false;
}

int isEmptyFolder(int dirFd, bool &empty)
{
    std::vector<QByteArray> names;
    if (const int rc = listNames(dirFd, names); rc < 0)
        return rc;
    empty = true;
    for (const QByteArray &name : names)
        if (name != "." && name != "..")
            empty = false;
    return 0;
}

} // namespace vell::platform
