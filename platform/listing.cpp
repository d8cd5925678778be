#include "platform/dosattrib.h"
#include "platform/fileops.h"
#include "platform/syscalls.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vell::platform {

namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t EpochDifference = 11644473600;
constexpr uint64_t TicksPerSecond = 10000000;

bool isListedKind(mode_t mode) { return S_ISREG(mode) || S_ISDIR(mode) || S_ISLNK(mode); }

EntryKind kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return EntryKind::Folder;
    return S_ISLNK(mode) ? EntryKind::Link : EntryKind::File;
}

void fillEntry(int dirFd, const QByteArray &name, const struct stat &st, bool withDosAttrib, EntryInfo &out)
{
    out.name = name;
    out.kind = kindOf(st.st_mode);
    uint32_t dos = 0;
    // A link cannot carry user.* attributes: no call for it.
    out.hasDosAttrib = withDosAttrib && !S_ISLNK(st.st_mode) && dosattrib::readAt(dirFd, name, dos);
    out.attributes = attributeWord(st.st_mode, name, out.hasDosAttrib, dos);
    out.lastWrite = ticksFromTimespec(st.st_mtim);
    out.size = uint64_t(st.st_size);
    out.dev = st.st_dev;
    out.ino = st.st_ino;
    out.mode = st.st_mode;
    out.links = st.st_nlink;
}

// d_type when the file system gives it: lets the listing skip special
// files without a stat.
bool isSpecialType(unsigned char type)
{
    return type == DT_FIFO || type == DT_SOCK || type == DT_CHR || type == DT_BLK;
}

// Handles one directory entry. 0 when it was reported or left out, -errno
// when it could not be examined. Temporary files are left out and named in
// `extras`, never removed: a copy may be writing into one right now.
int takeEntry(int dirFd, const struct dirent64 &d, bool withDosAttrib, std::vector<EntryInfo> &out,
              ListingExtras *extras)
{
    const QByteArray name(d.d_name);
    if (name == "." || name == "..")
        return 0;
    struct stat st;
    if (isSpecialType(d.d_type))
        st.st_mode = DTTOIF(d.d_type);
    else if (const int rc = sys::statAt(dirFd, name, st); rc < 0)
        return rc == -ENOENT ? 0 : rc; // removed since the folder was read
    if (!isListedKind(st.st_mode)) {
        if (extras)
            extras->specialsLeftOut = true;
        return 0;
    }
    if (isTemporaryName(name)) {
        if (extras && S_ISREG(st.st_mode))
            extras->staleTemporaries.push_back(name);
        return 0;
    }
    out.emplace_back();
    fillEntry(dirFd, name, st, withDosAttrib, out.back());
    return 0;
}

// Handles one entry for listKinds: no stat unless the kind is unknown or
// the entry is a folder.
int takeKind(int dirFd, const struct dirent64 &d, std::vector<EntryInfo> &out, ListingExtras *extras)
{
    if (d.d_type == DT_UNKNOWN || d.d_type == DT_DIR)
        return takeEntry(dirFd, d, false, out, extras);
    const QByteArray name(d.d_name);
    if (isSpecialType(d.d_type)) {
        if (extras)
            extras->specialsLeftOut = true;
        return 0;
    }
    if (isTemporaryName(name)) {
        if (extras && d.d_type == DT_REG)
            extras->staleTemporaries.push_back(name);
        return 0;
    }
    out.emplace_back();
    EntryInfo &e = out.back();
    e.name = name;
    e.kind = d.d_type == DT_LNK ? EntryKind::Link : EntryKind::File;
    e.mode = DTTOIF(d.d_type);
    e.attributes = attributeWord(e.mode | S_IWUSR, name);
    e.ino = d.d_ino;
    return 0;
}

// Hands every entry of the folder to `take`, stopping at its first error.
// Reading moves the offset of dirFd: it starts again from the first entry,
// so that a folder can be listed twice through one descriptor (which the
// caller must not read from two threads at once).
template<typename Take>
int readEntries(int dirFd, Take &&take)
{
    if (::lseek(dirFd, 0, SEEK_SET) < 0)
        return sys::negErrno();
    alignas(struct dirent64) char buffer[65536];
    for (;;) {
        const ssize_t n = sys::retry([&] { return ::getdents64(dirFd, buffer, sizeof buffer); });
        if (n < 0)
            return sys::negErrno();
        if (n == 0)
            return 0;
        for (ssize_t at = 0; at < n;) {
            const auto *d = reinterpret_cast<const struct dirent64 *>(buffer + at);
            if (const int rc = take(*d); rc < 0)
                return rc;
            at += d->d_reclen;
        }
    }
}

} // namespace

int listKinds(int dirFd, std::vector<EntryInfo> &out, ListingExtras *extras)
{
    out.clear();
    if (extras)
        *extras = ListingExtras();
    return readEntries(dirFd, [&](const struct dirent64 &d) {
        if (d.d_name[0] == '.' && (d.d_name[1] == 0 || (d.d_name[1] == '.' && d.d_name[2] == 0)))
            return 0;
        return takeKind(dirFd, d, out, extras);
    });
}

int listNames(int dirFd, std::vector<QByteArray> &names)
{
    names.clear();
    const int rc = readEntries(dirFd, [&](const struct dirent64 &d) {
        names.emplace_back(d.d_name);
        return 0;
    });
    std::sort(names.begin(), names.end());
    return rc;
}

uint64_t ticksFromTimespec(const struct timespec &ts)
{
    const int64_t sec = int64_t(ts.tv_sec) + EpochDifference;
    if (sec < 0)
        return 0;
    return uint64_t(sec) * TicksPerSecond + uint64_t(ts.tv_nsec) / 100;
}

int listFolder(int dirFd, std::vector<EntryInfo> &out, bool withDosAttrib, ListingExtras *extras)
{
    out.clear();
    if (extras)
        *extras = ListingExtras();
    return readEntries(dirFd, [&](const struct dirent64 &d) { return takeEntry(dirFd, d, withDosAttrib, out, extras); });
}

int lookUp(int dirFd, const QByteArray &name, EntryInfo &out, bool withDosAttrib)
{
    struct stat st;
    if (const int rc = sys::statAt(dirFd, name, st); rc < 0)
        return rc;
    if (!isListedKind(st.st_mode))
        return -EINVAL;
    fillEntry(dirFd, name, st, withDosAttrib, out);
    return 0;
}

} // namespace vell::platform
