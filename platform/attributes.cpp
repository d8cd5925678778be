#include "platform/dosattrib.h"
#include "platform/fileops.h"
#include "platform/syscalls.h"
#include "platform/uniquefd.h"

#include <sys/stat.h>
#include <sys/xattr.h>

namespace vell::platform {

namespace {

// DOS bits that user.DOSATTRIB holds for Vell and that are compared and
// written. Compressed, encrypted, sparse and the like describe the storage
// on the Windows side and cannot be set here.
constexpr uint32_t HeldDosBits =
    Attr::Hidden | Attr::System | Attr::Archive | Attr::Temporary | Attr::Offline | Attr::NotContentIndexed;

// Bits that never come from user.DOSATTRIB: the mode and the kind decide.
constexpr uint32_t ModeBits = Attr::ReadOnly | Attr::Folder | Attr::Normal;

bool isSpecial(mode_t mode) { return !S_ISREG(mode) && !S_ISDIR(mode) && !S_ISLNK(mode); }

// The value user.DOSATTRIB should hold for `word`, starting from what it
// holds now: the carried DOS bits follow the word, read-only follows it
// for files, the rest is kept.
uint32_t storedDosBits(uint32_t old, uint32_t word, bool isFolder)
{
    uint32_t stored = (old & ~HeldDosBits) | (word & HeldDosBits);
    if (!isFolder)
        stored = (stored & ~Attr::ReadOnly) | (word & Attr::ReadOnly);
    return stored;
}

// Rewrites user.DOSATTRIB of the inode open as pathFd when it has one we
// know. 0 or -errno.
int updateDosAttrib(int pathFd, uint32_t word, bool isFolder)
{
    const QByteArray path = sys::fdPath(pathFd);
    QByteArray value;
    if (sys::getXattr(path, dosattrib::XattrName, value, false) != 0)
        return 0; // none (or no extended attributes at all): nothing to keep in step
    uint32_t old = 0;
    if (!dosattrib::parse(value, old))
        return 0; // a form we cannot keep in step is left to Samba
    const uint32_t stored = storedDosBits(old, word, isFolder);
    if (stored == old)
        return 0;
    QByteArray rewritten;
    if (!dosattrib::rewrite(value, stored, rewritten))
        return 0;
    if (::setxattr(path.constData(), dosattrib::XattrName, rewritten.constData(), size_t(rewritten.size()), 0) != 0)
        return sys::negErrno();
    return 0;
}

int changeMode(int pathFd, mode_t mode)
{
    if (::chmod(sys::fdPath(pathFd).constData(), mode & 07777) != 0)
        return sys::negErrno();
    return 0;
}

} // namespace

uint32_t attributeWord(mode_t mode, const QByteArray &name, bool hasDosAttrib, uint32_t dosAttrib)
{
    uint32_t word = 0;
    if (S_ISDIR(mode))
        word |= Attr::Folder;
    else if (!S_ISLNK(mode) && !(mode & S_IWUSR))
        word |= Attr::ReadOnly;
    if (name.startsWith('.'))
        word |= Attr::Hidden;
    if (hasDosAttrib)
        word |= dosAttrib & ~ModeBits;
    return word == 0 ? Attr::Normal : word;
}

int getAttributes(int dirFd, const QByteArray &name, uint32_t &word, bool *hasDosAttrib)
{
    struct stat st;
    if (const int rc = sys::statAt(dirFd, name, st); rc < 0)
        return rc;
    if (isSpecial(st.st_mode))
        return -EINVAL;
    uint32_t dos = 0;
    const bool has = !S_ISLNK(st.st_mode) && dosattrib::readAt(dirFd, name, dos);
    word = attributeWord(st.st_mode, name, has, dos);
    if (hasDosAttrib)
        *hasDosAttrib = has;
    return 0;
}

int setAttributes(int dirFd, const QByteArray &name, uint32_t word)
{
    struct stat st;
    const UniqueFd fd(sys::openPathAt(dirFd, name, st));
    if (!fd.valid())
        return fd.get();
    if (S_ISLNK(st.st_mode))
        return 0; // a link has no attributes of its own on Linux
    if (isSpecial(st.st_mode))
        return -EINVAL;
    const bool isFolder = S_ISDIR(st.st_mode);
    const bool isReadOnly = !isFolder && !(st.st_mode & S_IWUSR);
    const bool wantReadOnly = !isFolder && (word & Attr::ReadOnly);
    // The owner needs write permission to change user.* attributes, so the
    // write bit goes on before and off after the rewrite.
    if (isReadOnly && !wantReadOnly) {
        if (const int rc = changeMode(fd.get(), st.st_mode | S_IWUSR); rc < 0)
            return rc;
    }
    if (const int rc = updateDosAttrib(fd.get(), word, isFolder); rc < 0)
        return rc;
    if (!isReadOnly && wantReadOnly)
        return changeMode(fd.get(), st.st_mode & ~S_IWUSR);
    return 0;
}

bool attributesDiffer(uint32_t source, uint32_t target, bool targetHasDosAttrib)
{
    const uint32_t changed = source ^ target;
    const bool eitherFolder = (source | target) & Attr::Folder;
    if (!eitherFolder && (changed & Attr::ReadOnly))
        return true;
    return targetHasDosAttrib && (changed & HeldDosBits);
}

} // namespace vell::platform
