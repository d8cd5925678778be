#include "platform/filesystemkind.h"

#include "platform/syscalls.h"

#include <sys/statfs.h>

namespace vell::platform {

namespace {

struct KnownType
{
    uint32_t magic;
    const char *name;
    bool watchable;
};

// Values of linux/magic.h (and of the out-of-tree zfs), spelt out so that
// a missing kernel header never changes the list.
constexpr KnownType KnownTypes[] = {
    {0xEF53, "ext4", true}, // ext2 and ext3 share it
    {0x58465342, "xfs", true},
    {0x9123683E, "btrfs", true},
    {0x01021994, "tmpfs", true},
    {0x858458F6, "ramfs", true},
    {0xF2F52010, "f2fs", true},
    {0xCA451A4E, "bcachefs", true},
    {0x3153464A, "jfs", true},
    {0x52654973, "reiserfs", true},
    {0x3434, "nilfs", true},
    {0x482B, "hfsplus", true},
    {0x4D44, "vfat", true},
    {0x2011BAB0, "exfat", true},
    {0x5346544E, "ntfs3", true},
    {0x2FC12FC1, "zfs", true},
    // Changes made beneath a mounted overlay's lower layers go unreported,
    // which the kernel does not support either; containers and CI run on it.
    {0x794C7630, "overlay", true},
    {0x73717368, "squashfs", true},
    {0x9660, "iso9660", true},
    // Named for the message only: changed by other hosts, or by a process
    // the kernel does not see through (FUSE).
    {0x6969, "nfs", false},
    {0xFF534D42, "cifs", false},
    {0xFE534D42, "smb2", false},
    {0x517B, "smb", false},
    {0x65735546, "fuse", false},
    {0x00C36400, "ceph", false},
    {0x01021997, "9p", false},
    {0x5346414F, "afs", false},
    {0x6B414653, "afs", false},
    {0x73757245, "coda", false},
    {0x01161970, "gfs2", false},
    {0x7461636F, "ocfs2", false},
};

} // namespace

FileSystemKind fileSystemKind(uint64_t magic)
{
    // f_type is a signed word: a 32-bit system gives cifs's 0xFF534D42 as a
    // negative number, whose low 32 bits are still the magic.
    const uint32_t type = uint32_t(magic);
    for (const KnownType &known : KnownTypes) {
        if (known.magic == type)
            return {known.watchable, known.name};
    }
    return {false, "0x" + QByteArray::number(type, 16).rightJustified(8, '0')};
}

int fileSystemWatchable(int fd, bool &watchable, QByteArray &typeName)
{
    struct statfs fs;
    if (sys::retry([&] { return ::fstatfs(fd, &fs); }) != 0)
        return sys::negErrno();
    FileSystemKind kind = fileSystemKind(uint64_t(fs.f_type));
    watchable = kind.watchable;
    typeName = std::move(kind.name);
    return 0;
}

} // namespace vell::platform
