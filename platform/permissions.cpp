#include "platform/fileops.h"
#include "platform/littleendian.h"
#include "platform/syscalls.h"
#include "platform/uniquefd.h"

#include <sys/stat.h>
#include <sys/xattr.h>

// The permission descriptor: u32 (little-endian) length of the access
// part, the access ACL in the kernel's xattr format (u32 version 2, then
// entries of u16 tag, u16 permissions, u32 id, in the kernel's order),
// then the default ACL of a folder in the same format, or nothing. An item
// without an extended ACL gets the three entries its mode stands for, so
// two items with equal permissions always give equal bytes.

namespace vell::platform {

namespace {

constexpr char AccessAcl[] = "system.posix_acl_access";
constexpr char DefaultAcl[] = "system.posix_acl_default";

constexpr uint32_t AclVersion = 2;
constexpr uint16_t TagUserObj = 0x01;
constexpr uint16_t TagUser = 0x02;
constexpr uint16_t TagGroupObj = 0x04;
constexpr uint16_t TagGroup = 0x08;
constexpr uint16_t TagMask = 0x10;
constexpr uint16_t TagOther = 0x20;
constexpr uint32_t UndefinedId = 0xFFFFFFFF;
constexpr qsizetype HeaderSize = 4;
constexpr qsizetype EntrySize = 8;

void appendEntry(QByteArray &acl, uint16_t tag, uint16_t perm)
{
    appendLe16(acl, tag);
    appendLe16(acl, perm);
    appendLe32(acl, UndefinedId);
}

// The access ACL the kernel would report for a plain mode.
QByteArray aclFromMode(mode_t mode)
{
    QByteArray acl;
    appendLe32(acl, AclVersion);
    appendEntry(acl, TagUserObj, uint16_t((mode >> 6) & 7));
    appendEntry(acl, TagGroupObj, uint16_t((mode >> 3) & 7));
    appendEntry(acl, TagOther, uint16_t(mode & 7));
    return acl;
}

bool isWellFormedAcl(const QByteArray &acl)
{
    return acl.size() >= HeaderSize && (acl.size() - HeaderSize) % EntrySize == 0 && readLe32(acl, 0) == AclVersion;
}

// What an access ACL says about the permission bits.
struct AclSummary
{
    bool valid = false;
    bool extended = false; // named users or groups, or a mask
    mode_t bits = 0;
};

AclSummary summarize(const QByteArray &acl)
{
    AclSummary s;
    if (!isWellFormedAcl(acl))
        return s;
    int required = 0;
    mode_t groupBits = 0;
    mode_t maskBits = 0;
    bool hasMask = false;
    for (qsizetype at = HeaderSize; at < acl.size(); at += EntrySize) {
        const uint16_t tag = readLe16(acl, at);
        const mode_t perm = readLe16(acl, at + 2) & 7;
        switch (tag) {
        case TagUserObj:
            s.bits |= perm << 6;
            ++required;
            break;
        case TagGroupObj:
            groupBits = perm;
            ++required;
            break;
        case TagOther:
            s.bits |= perm;
            ++required;
            break;
        case TagMask:
            maskBits = perm;
            hasMask = true;
            s.extended = true;
            break;
        case TagUser:
        case TagGroup:
            s.extended = true;
            break;
        default:
            return s;
        }
    }
    // With an extended ACL the group bits of the mode are the mask.
    s.bits |= (hasMask ? maskBits : groupBits) << 3;
    s.valid = required == 3;
    return s;
}

// Reads one ACL attribute of the inode behind path; an absent one (or a
// file system without ACLs) gives an empty value.
int readAcl(const QByteArray &path, const char *attr, QByteArray &acl)
{
    const int rc = sys::getXattr(path, attr, acl, false);
    if (rc == -ENODATA || rc == -EOPNOTSUPP) {
        acl.clear();
        return 0;
    }
    return rc;
}

int writeAcl(const QByteArray &path, const char *attr, const QByteArray &acl)
{
    if (acl.isEmpty()) {
        if (::removexattr(path.constData(), attr) != 0 && errno != ENODATA && errno != EOPNOTSUPP)
            return sys::negErrno();
        return 0;
    }
    if (::setxattr(path.constData(), attr, acl.constData(), size_t(acl.size()), 0) != 0)
        return sys::negErrno();
    return 0;
}

// Opens the item for reading or writing its permissions. Links have none
// of their own; special files are left alone.
int openItem(int dirFd, const QByteArray &name, struct stat &st)
{
    const int fd = sys::openPathAt(dirFd, name, st);
    if (fd < 0)
        return fd;
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))
        return fd;
    ::close(fd);
    return S_ISLNK(st.st_mode) ? -EOPNOTSUPP : -EINVAL;
}

} // namespace

int readPermissions(int dirFd, const QByteArray &name, QByteArray &descriptor)
{
    struct stat st;
    const UniqueFd fd(openItem(dirFd, name, st));
    if (!fd.valid())
        return fd.get();
    const QByteArray path = sys::fdPath(fd.get());
    QByteArray access;
    if (const int rc = readAcl(path, AccessAcl, access); rc < 0)
        return rc;
    if (access.isEmpty())
        access = aclFromMode(st.st_mode);
    QByteArray defaults;
    if (S_ISDIR(st.st_mode)) {
        if (const int rc = readAcl(path, DefaultAcl, defaults); rc < 0)
            return rc;
    }
    descriptor.clear();
    appendLe32(descriptor, uint32_t(access.size()));
    descriptor += access;
    descriptor += defaults;
    return 0;
}

int writePermissions(int dirFd, const QByteArray &name, const QByteArray &descriptor)
{
    if (descriptor.size() < HeaderSize)
        return -EINVAL;
    const qsizetype accessSize = readLe32(descriptor, 0);
    if (accessSize > descriptor.size() - HeaderSize)
        return -EINVAL;
    const QByteArray access = descriptor.mid(HeaderSize, accessSize);
    const QByteArray defaults = descriptor.mid(HeaderSize + accessSize);
    const AclSummary summary = summarize(access);
    if (!summary.valid || (!defaults.isEmpty() && !isWellFormedAcl(defaults)))
        return -EINVAL;

    struct stat st;
    const UniqueFd fd(openItem(dirFd, name, st));
    if (!fd.valid())
        return fd.get();
    const QByteArray path = sys::fdPath(fd.get());
    // setuid, setgid and sticky are the target's own, not permissions.
    if (::chmod(path.constData(), (st.st_mode & 07000) | summary.bits) != 0)
        return sys::negErrno();
    if (const int rc = writeAcl(path, AccessAcl, summary.extended ? access : QByteArray()); rc < 0)
        return rc;
    if (S_ISDIR(st.st_mode))
        return writeAcl(path, DefaultAcl, defaults);
    return 0; // a file cannot hold a default ACL: a folder's is ignored
}

} // namespace vell::platform
