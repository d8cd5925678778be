#include "platform/compare.h"

#include "platform/syscalls.h"
#include "platform/uniquefd.h"

#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace vell::platform {

namespace {

constexpr size_t ChunkSize = size_t(1) << 20;

int openRegular(int dirFd, const QByteArray &name, UniqueFd &fd)
{
    fd.reset(sys::retry([&] {
        return ::openat(dirFd, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }));
    if (!fd.valid())
        return sys::negErrno();
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return sys::negErrno();
    return S_ISREG(st.st_mode) ? 0 : -EINVAL;
}

// Reads up to `size` bytes, short only at the end of the file.
ssize_t readFull(int fd, char *buffer, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = sys::retry([&] { return ::read(fd, buffer + done, size - done); });
        if (n < 0)
            return sys::negErrno();
        if (n == 0)
            break;
        done += size_t(n);
    }
    return ssize_t(done);
}

int sameLinkText(int srcDir, const QByteArray &srcName, int dstDir, const QByteArray &dstName, bool &same)
{
    char a[4096];
    char b[4096];
    const ssize_t na = ::readlinkat(srcDir, srcName.constData(), a, sizeof a);
    if (na < 0)
        return sys::negErrno();
    const ssize_t nb = ::readlinkat(dstDir, dstName.constData(), b, sizeof b);
    if (nb < 0)
        return sys::negErrno();
    // A text that fills the buffer may be cut: never call it the same.
    same = na == nb && size_t(na) < sizeof a && std::memcmp(a, b, size_t(na)) == 0;
    return 0;
}

int sameFileBytes(int srcDir, const QByteArray &srcName, int dstDir, const QByteArray &dstName, bool &same,
                  const std::function<bool()> &proceed)
{
    UniqueFd src;
    UniqueFd dst;
    if (const int rc = openRegular(srcDir, srcName, src); rc < 0)
        return rc;
    if (const int rc = openRegular(dstDir, dstName, dst); rc < 0)
        return rc;
    const std::unique_ptr<char[]> a(new char[ChunkSize]);
    const std::unique_ptr<char[]> b(new char[ChunkSize]);
    for (;;) {
        const ssize_t na = readFull(src.get(), a.get(), ChunkSize);
        if (na < 0)
            return int(na);
        const ssize_t nb = readFull(dst.get(), b.get(), ChunkSize);
        if (nb < 0)
            return int(nb);
        if (na != nb || std::memcmp(a.get(), b.get(), size_t(na)) != 0) {
            same = false;
            return 0;
        }
        if (na == 0) {
            same = true;
            return 0;
        }
        if (proceed && !proceed())
            return -ECANCELED;
    }
}

} // namespace

int sameContent(int srcDir, const QByteArray &srcName, int dstDir, const QByteArray &dstName, bool &same,
                const std::function<bool()> &proceed)
{
    same = false;
    struct stat s;
    struct stat d;
    if (const int rc = sys::statAt(srcDir, srcName, s); rc < 0)
        return rc;
    if (const int rc = sys::statAt(dstDir, dstName, d); rc < 0)
        return rc;
    if (S_ISLNK(s.st_mode) && S_ISLNK(d.st_mode))
        return sameLinkText(srcDir, srcName, dstDir, dstName, same);
    if (!S_ISREG(s.st_mode) || !S_ISREG(d.st_mode) || s.st_size != d.st_size)
        return 0;
    return sameFileBytes(srcDir, srcName, dstDir, dstName, same, proceed);
}

} // namespace vell::platform
