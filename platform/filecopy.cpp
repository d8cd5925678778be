#include "platform/fileops.h"
#include "platform/syscalls.h"
#include "platform/uniquefd.h"

#include <QByteArrayList>

#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace vell::platform {

namespace {

// Bytes per step of every data method, and between two questions to
// proceed(): a step takes some 40 ms on a disk that writes 100 MB/s, so a
// stop is honoured within the 100 ms a user notices even on slow disks,
// while the calls still cost nothing next to the data.
constexpr size_t ChunkSize = size_t(4) << 20;
constexpr size_t ReadWriteBuffer = size_t(256) << 10;
// Units of st_blocks (stat(2)), whatever the file system's block size.
constexpr off_t StatBlockSize = 512;
// Tries at a fresh random name before giving up on a crowded folder.
constexpr int NameAttempts = 100;

// What a data method reports when it cannot be used at all, before it has
// written a byte: the next method is tried.
constexpr int Unsupported = 1;
// The source ended before the size it had when opened: it shrank while it
// was copied; the copy holds what there was.
constexpr int SourceEnded = 2;

// The new file while it is written. Whatever is left named in the target
// folder when it goes out of scope is removed: a failed copy leaves
// nothing behind.
struct NewFile
{
    explicit NewFile(int dirFd) : dirFd(dirFd) {}
    ~NewFile()
    {
        if (!tempName.isEmpty())
            (void)::unlinkat(dirFd, tempName.constData(), 0);
    }
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;

    int dirFd;
    UniqueFd fd;
    QByteArray tempName; // set while a temporary name exists in dirFd
    bool unnamed = false; // an O_TMPFILE: no name until published
};

void fillCopied(const struct stat &st, CopiedSource *copied)
{
    if (!copied)
        return;
    copied->lastWrite = ticksFromTimespec(st.st_mtim);
    copied->size = uint64_t(st.st_size);
    copied->dev = st.st_dev;
    copied->ino = st.st_ino;
}

// Whether dstDir/dstName exists; -ESAME when it is the source itself
// (same name, or another hard link of the same inode).
int checkTarget(int dstDir, const QByteArray &dstName, const struct stat &source, bool &exists)
{
    struct stat st;
    const int rc = sys::statAt(dstDir, dstName, st);
    exists = rc == 0;
    if (rc == -ENOENT)
        return 0;
    if (rc < 0)
        return rc;
    if (st.st_dev == source.st_dev && st.st_ino == source.st_ino)
        return -ESAME;
    return 0;
}

int openNamedTemporary(NewFile &file)
{
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        const QByteArray name = sys::temporaryName();
        const int fd = sys::retry([&] {
            return ::openat(file.dirFd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        });
        if (fd >= 0) {
            file.fd.reset(fd);
            file.tempName = name;
            return sys::lockTemporary(fd);
        }
        if (errno != EEXIST)
            return sys::negErrno();
    }
    return -EEXIST;
}

int openNewFile(NewFile &file)
{
    const int fd = sys::retry([&] { return ::openat(file.dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600); });
    if (fd >= 0) {
        file.fd.reset(fd);
        file.unnamed = true;
        // Locked before it can ever have a name: removeStaleTemporary
        // never mistakes it for a leftover.
        return sys::lockTemporary(fd);
    }
    // File systems without O_TMPFILE say EOPNOTSUPP; kernels before 3.11
    // take it for O_DIRECTORY and say EISDIR.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return sys::negErrno();
    return openNamedTemporary(file);
}

// Errors that mean "this method cannot copy between these two files", as
// coreutils classifies them; anything else (EIO, ENOSPC, EDQUOT, EFBIG,
// ...) is the copy failing. EACCES too: some file systems refuse FICLONE
// or copy_file_range with it on files that read and write accept.
bool isMethodUnsupported(int err)
{
    return err == ENOSYS || err == EOPNOTSUPP || err == ENOTTY || err == EINVAL || err == EBADF || err == EXDEV
        || err == ETXTBSY || err == EPERM || err == EACCES;
}

bool isSendfileUnsupported(int err) { return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EACCES; }

// One file's data on its way: the two descriptors and the progress that
// decides whether a method may still be changed and when to ask proceed().
struct DataCopy
{
    int src;
    int dst;
    const CopyOptions &options;
    uint64_t copied = 0;  // bytes written so far, whatever the method
    uint64_t unasked = 0; // bytes since proceed() was last asked

    // Counts n more bytes; false when the caller asks to stop.
    bool advance(uint64_t n)
    {
        copied += n;
        unasked += n;
        if (unasked < ChunkSize || !options.proceed)
            return true;
        unasked = 0;
        return options.proceed();
    }
};

int copyByClone(const DataCopy &c)
{
    if (::ioctl(c.dst, FICLONE, c.src) == 0)
        return 0;
    return isMethodUnsupported(errno) ? Unsupported : sys::negErrno();
}

// pread then pwrite of one buffer at `at`: the count, 0 at the source's
// end, or -1 with errno.
ssize_t readWriteStep(int src, int dst, off_t at, size_t length, char *buffer)
{
    const ssize_t n = sys::retry([&] { return ::pread(src, buffer, qMin(length, ReadWriteBuffer), at); });
    if (n <= 0)
        return n;
    for (ssize_t done = 0; done < n;) {
        const ssize_t w = sys::retry([&] { return ::pwrite(dst, buffer + done, size_t(n - done), at + done); });
        if (w < 0)
            return -1;
        done += w;
    }
    return n;
}

// One step of `method` at `at`, up to `length` bytes: the count, 0 at the
// source's end, or -1 with errno. The source's offset is never used; the
// target's only by sendfile, which writes where it stands.
ssize_t step(const DataCopy &c, CopyMethod method, off_t at, size_t length, char *buffer)
{
    switch (method) {
    case CopyMethod::CopyFileRange: {
        loff_t in = at;
        loff_t out = at;
        return ::copy_file_range(c.src, &in, c.dst, &out, length, 0);
    }
    case CopyMethod::Sendfile: {
        if (::lseek(c.dst, at, SEEK_SET) < 0)
            return -1;
        off_t in = at;
        return ::sendfile(c.dst, c.src, &in, length);
    }
    default:
        return readWriteStep(c.src, c.dst, at, length, buffer);
    }
}

bool unsupportedBy(CopyMethod method, int err)
{
    if (method == CopyMethod::ReadWrite)
        return false; // the last resort: its errors are the copy's
    return method == CopyMethod::Sendfile ? isSendfileUnsupported(err) : isMethodUnsupported(err);
}

// Copies the `length` bytes at `from` with one method. 0, SourceEnded,
// Unsupported (only while nothing is written), -ECANCELED or -errno.
int copyRange(DataCopy &c, CopyMethod method, off_t from, off_t length, char *buffer)
{
    for (off_t at = from; at < from + length;) {
        const size_t want = size_t(qMin<off_t>(from + length - at, off_t(ChunkSize)));
        const ssize_t n = sys::retry([&] { return step(c, method, at, want, buffer); });
        if (n < 0)
            return c.copied == 0 && unsupportedBy(method, errno) ? Unsupported : sys::negErrno();
        if (n == 0) {
            // copy_file_range answered 0 for files of some pseudo file
            // systems (procfs, sysfs) up to Linux 5.6 or so: a first 0 on a
            // file that should have data hands over to the next method.
            return c.copied == 0 && method != CopyMethod::ReadWrite ? Unsupported : SourceEnded;
        }
        at += n;
        if (!c.advance(uint64_t(n)))
            return -ECANCELED;
    }
    return 0;
}

// A file with fewer blocks than its size may hold holes (coreutils' test).
bool mayHoldHoles(const struct stat &st) { return st.st_blocks * StatBlockSize < st.st_size; }

// The data extents of the file: those SEEK_DATA and SEEK_HOLE find in a
// file that may hold holes; any other file is one extent, with no call to
// learn it. `take` gets each extent (offset, length) and stops the walk
// with any result but 0.
template<typename Take>
int forEachExtent(int fd, const struct stat &st, Take &&take)
{
    if (!mayHoldHoles(st))
        return st.st_size > 0 ? take(off_t(0), st.st_size) : 0;
    for (off_t at = 0; at < st.st_size;) {
        const off_t data = ::lseek(fd, at, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO)
                return 0; // only a hole is left
            // Kernels and file systems without SEEK_DATA: all of it is data.
            return at == 0 && (errno == EINVAL || errno == EOPNOTSUPP) ? take(off_t(0), st.st_size)
                                                                       : sys::negErrno();
        }
        if (data >= st.st_size)
            return 0;
        const off_t hole = ::lseek(fd, data, SEEK_HOLE);
        if (hole < 0)
            return sys::negErrno();
        const off_t end = qMin(hole, st.st_size);
        if (const int rc = take(data, end - data); rc != 0)
            return rc;
        at = end;
    }
    return 0;
}

// Copies every extent with one method; a file that may hold holes then
// gets the source's size, so that a hole at the end stays a hole.
int copyExtents(DataCopy &c, CopyMethod method, const struct stat &st)
{
    std::unique_ptr<char[]> buffer;
    if (method == CopyMethod::ReadWrite)
        buffer.reset(new char[ReadWriteBuffer]);
    const int rc = forEachExtent(c.src, st, [&](off_t from, off_t length) {
        return copyRange(c, method, from, length, buffer.get());
    });
    if (rc == SourceEnded)
        return 0;
    if (rc != 0 || !mayHoldHoles(st))
        return rc;
    if (::ftruncate(c.dst, st.st_size) != 0)
        return sys::negErrno();
    return 0;
}

// Fastest first (a reflink shares the source's extents, holes included);
// a method is changed only before its first byte.
int copyData(int src, int dst, const struct stat &st, const CopyOptions &options)
{
    DataCopy c{src, dst, options};
    const CopyMethod forced = options.method;
    int rc = Unsupported;
    if (forced == CopyMethod::Auto || forced == CopyMethod::Clone)
        rc = copyByClone(c);
    for (const CopyMethod method : {CopyMethod::CopyFileRange, CopyMethod::Sendfile, CopyMethod::ReadWrite}) {
        if (rc == Unsupported && (forced == CopyMethod::Auto || forced == method))
            rc = copyExtents(c, method, st);
    }
    return rc == Unsupported ? -EOPNOTSUPP : rc;
}

bool carries(const QByteArray &attr, const CopyOptions &options)
{
    if (!attr.startsWith("user."))
        return false; // system.*, security.*, trusted.* are not the file's content
    return attr.startsWith("user.DosStream.") ? options.carryStreams : options.carryXattrs;
}

int copyXattrs(int src, int dst, const CopyOptions &options)
{
    if (!options.carryStreams && !options.carryXattrs)
        return 0;
    QByteArray names;
    const int rc = sys::listXattrFd(src, names);
    if (rc == -EOPNOTSUPP)
        return 0; // the source's file system has none
    if (rc < 0)
        return rc;
    for (const QByteArray &attr : names.split('\0')) {
        if (attr.isEmpty() || !carries(attr, options))
            continue;
        QByteArray value;
        if (const int got = sys::getXattrFd(src, attr.constData(), value); got < 0) {
            if (got == -ENODATA)
                continue; // removed since it was listed
            return got;
        }
        if (::fsetxattr(dst, attr.constData(), value.constData(), size_t(value.size()), 0) != 0) {
            // A target file system without user attributes (vfat, some NFS
            // and FUSE mounts) cannot hold them at all: the data still
            // arrive, the attributes are dropped, as a copy to such a
            // volume does on any system.
            if (errno == EOPNOTSUPP)
                return 0;
            return sys::negErrno();
        }
    }
    return 0;
}

// Permission bits and sticky; setuid/setgid only while the new file
// belongs to the same owner/group as the source (a copy by another user
// must not hand out that user's rights).
int copyMode(int dst, const struct stat &source)
{
    mode_t mode = source.st_mode & (S_IRWXU | S_IRWXG | S_IRWXO | S_ISVTX);
    if (source.st_mode & (S_ISUID | S_ISGID)) {
        struct stat st;
        if (::fstat(dst, &st) != 0)
            return sys::negErrno();
        if ((source.st_mode & S_ISUID) && st.st_uid == source.st_uid)
            mode |= S_ISUID;
        if ((source.st_mode & S_ISGID) && st.st_gid == source.st_gid)
            mode |= S_ISGID;
    }
    if (::fchmod(dst, mode) != 0)
        return sys::negErrno();
    return 0;
}

int copyTimes(int dst, const struct stat &source)
{
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if (::futimens(dst, times) != 0)
        return sys::negErrno();
    return 0;
}

// Gives the O_TMPFILE a name. AT_EMPTY_PATH first: since Linux 6.10 any
// user may link a file it opened itself that way (before, only with
// CAP_DAC_READ_SEARCH; ENOENT otherwise), and it spares resolving
// /proc/self/fd/N, a third of the link's cost. /proc serves the others.
int linkUnnamed(int fd, int dirFd, const QByteArray &name)
{
    if (::linkat(fd, "", dirFd, name.constData(), AT_EMPTY_PATH) == 0)
        return 0;
    if (errno != ENOENT && errno != EPERM)
        return sys::negErrno();
    if (::linkat(AT_FDCWD, sys::fdPath(fd).constData(), dirFd, name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    return sys::negErrno();
}

int linkUnnamedAtTemporaryName(NewFile &file)
{
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        const QByteArray name = sys::temporaryName();
        const int rc = linkUnnamed(file.fd.get(), file.dirFd, name);
        if (rc == 0) {
            file.tempName = name;
            return 0;
        }
        if (rc != -EEXIST)
            return rc;
    }
    return -EEXIST;
}

// Puts the finished file at dstName in one step: a new name is linked
// directly, an existing target is replaced by rename, so readers see the
// old file or the new one, never a part.
int publish(NewFile &file, const QByteArray &dstName, bool targetExists)
{
    if (file.unnamed) {
        if (!targetExists) {
            const int rc = linkUnnamed(file.fd.get(), file.dirFd, dstName);
            if (rc != -EEXIST)
                return rc;
            // Someone made the name meanwhile: replace it as usual.
        }
        if (const int rc = linkUnnamedAtTemporaryName(file); rc < 0)
            return rc;
    }
    if (::renameat(file.dirFd, file.tempName.constData(), file.dirFd, dstName.constData()) != 0)
        return sys::negErrno();
    file.tempName.clear();
    return 0;
}

int readLinkText(int dirFd, const QByteArray &name, off_t sizeHint, QByteArray &text)
{
    qsizetype size = qMax<qsizetype>(qsizetype(sizeHint) + 1, 256);
    for (;;) {
        text.resize(size);
        const ssize_t n = ::readlinkat(dirFd, name.constData(), text.data(), size_t(size));
        if (n < 0)
            return sys::negErrno();
        if (n < size) {
            text.truncate(n);
            return 0;
        }
        size *= 2; // the link was replaced by a longer one meanwhile
    }
}

int copyLink(int srcDir, const QByteArray &srcName, const struct stat &source, int dstDir,
             const QByteArray &dstName, CopiedSource *copied)
{
    QByteArray text;
    if (const int rc = readLinkText(srcDir, srcName, source.st_size, text); rc < 0)
        return rc;
    bool exists = false;
    if (const int rc = checkTarget(dstDir, dstName, source, exists); rc < 0)
        return rc;
    fillCopied(source, copied);
    NewFile link(dstDir);
    for (int attempt = 0; attempt < NameAttempts && link.tempName.isEmpty(); ++attempt) {
        const QByteArray name = sys::temporaryName();
        if (::symlinkat(text.constData(), dstDir, name.constData()) == 0)
            link.tempName = name;
        else if (errno != EEXIST)
            return sys::negErrno();
    }
    if (link.tempName.isEmpty())
        return -EEXIST;
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if (::utimensat(dstDir, link.tempName.constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
        return sys::negErrno();
    if (::renameat(dstDir, link.tempName.constData(), dstDir, dstName.constData()) != 0)
        return sys::negErrno();
    link.tempName.clear();
    return 0;
}

// Opens the regular file found by stat, with O_NONBLOCK so that an entry
// swapped for a FIFO meanwhile cannot block the open, and checks that it
// is still a regular file. Returns the descriptor or -errno.
int openSource(int srcDir, const QByteArray &srcName, struct stat &st)
{
    UniqueFd fd(sys::retry([&] {
        return ::openat(srcDir, srcName.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }));
    if (!fd.valid())
        return sys::negErrno();
    if (::fstat(fd.get(), &st) != 0)
        return sys::negErrno();
    if (!S_ISREG(st.st_mode))
        return -EINVAL;
    // O_NONBLOCK has no effect on a regular file (open(2)): it stays.
    return fd.release();
}

int writeNewFile(NewFile &file, int src, const struct stat &st, const CopyOptions &options)
{
    if (const int rc = copyData(src, file.fd.get(), st, options); rc < 0)
        return rc;
    if (const int rc = copyXattrs(src, file.fd.get(), options); rc < 0)
        return rc;
    if (const int rc = copyMode(file.fd.get(), st); rc < 0)
        return rc;
    // Last: nothing written after it may move the modification time.
    if (const int rc = copyTimes(file.fd.get(), st); rc < 0)
        return rc;
    if (options.flushData && sys::retry([&] { return ::fdatasync(file.fd.get()); }) != 0)
        return sys::negErrno();
    return 0;
}

} // namespace

int copyFile(int srcDir, const QByteArray &srcName, int dstDir, const QByteArray &dstName, const CopyOptions &options,
             CopiedSource *copied)
{
    // A stat first: a link is copied as a link, and a FIFO or device is
    // refused without ever being opened.
    struct stat st;
    if (const int rc = sys::statAt(srcDir, srcName, st); rc < 0)
        return rc;
    if (S_ISLNK(st.st_mode))
        return copyLink(srcDir, srcName, st, dstDir, dstName, copied);
    if (!S_ISREG(st.st_mode))
        return -EINVAL;
    const UniqueFd src(openSource(srcDir, srcName, st));
    if (!src.valid())
        return src.get();
    bool targetExists = false;
    NewFile file(dstDir);
    if (const int rc = openNewFile(file); rc < 0)
        return rc;
    // A target the caller has just found absent is not looked up again: a
    // name made meanwhile shows as EEXIST when the new file is linked, and
    // is then checked and replaced as usual.
    const bool deferCheck = options.targetAbsent && file.unnamed;
    if (!deferCheck) {
        if (const int rc = checkTarget(dstDir, dstName, st, targetExists); rc < 0)
            return rc;
    }
    fillCopied(st, copied);
    if (const int rc = writeNewFile(file, src.get(), st, options); rc < 0)
        return rc;
    if (deferCheck) {
        const int rc = linkUnnamed(file.fd.get(), file.dirFd, dstName);
        if (rc != -EEXIST) {
            if (rc == 0 && options.flushData && sys::retry([&] { return ::fsync(dstDir); }) != 0)
                return sys::negErrno();
            return rc;
        }
        if (const int check = checkTarget(dstDir, dstName, st, targetExists); check < 0)
            return check;
    }
    if (const int rc = publish(file, dstName, targetExists); rc < 0)
        return rc;
    // Move mode deletes the source next: the new name must survive a crash
    // as well as the data.
    if (options.flushData && sys::retry([&] { return ::fsync(dstDir); }) != 0)
        return sys::negErrno();
    return 0;
}

} // namespace vell::platform
