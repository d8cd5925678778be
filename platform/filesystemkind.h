#pragma once

// Which file systems tell every change through inotify. The kernel reports
// only changes made through this host's own VFS: network and FUSE file
// systems, and cluster file systems changed by other hosts, would hide
// changes from a watch, so only known local types are watched.

#include <QByteArray>
#include <cstdint>

namespace vell::platform {

struct FileSystemKind
{
    bool watchable = false;
    QByteArray name; // "ext4", "nfs", "fuse"..., or "0x1234abcd" for a type not known here
};

// The kind of a file system by its statfs f_type (its magic number, as in
// linux/magic.h; only the low 32 bits count).
[[nodiscard]] FileSystemKind fileSystemKind(uint64_t magic);

// The kind of the file system the open file or folder lies on (fstatfs).
// 0 or -errno; `watchable` and `typeName` are set only on success.
[[nodiscard]] int fileSystemWatchable(int fd, bool &watchable, QByteArray &typeName);

} // namespace vell::platform
