#pragma once

// What the walks must know of mounts: where another file system begins
// inside a tree, which file system a folder lies on, and whether a folder
// that /etc/fstab names as a mount point has its file system mounted now.
// Like the rest of platform/: 0 (or a result) or -errno, nothing thrown.

#include <QByteArray>
#include <sys/types.h>

namespace vell::platform {

// The device and inode of an open file or folder: which one it is.
[[nodiscard]] int identityOf(int fd, dev_t &dev, ino_t &ino);

// Whether the entry `name` of dirFd (a folder, links not followed) is the
// root of a mount: another file system, or a bind mount of the same one.
[[nodiscard]] int isMountRoot(int dirFd, const QByteArray &name, bool &root);

// Whether the open folder is the root folder "/" of the system.
[[nodiscard]] bool isSystemRoot(int dirFd);

// A text naming the file system the open folder lies on, stable across
// restarts where the file system gives one (its statfs id and type), else
// its device number. Empty when it cannot be told.
[[nodiscard]] QByteArray fileSystemId(int dirFd);

// True when `path` (absolute, without a trailing "/") is the mount point of
// an entry of the fstab file (swap left aside) and no file system is
// mounted on it now: the folder that stays behind an unmounted disk.
[[nodiscard]] bool isUnmountedFstabMountPoint(const QByteArray &path, const char *fstab = "/etc/fstab");

// Whether the open folder holds no entry at all (besides "." and "..").
// -errno when it cannot be read.
[[nodiscard]] int isEmptyFolder(int dirFd, bool &empty);

} // namespace vell::platform
