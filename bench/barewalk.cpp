#include "bench/benchtools.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// The floor a mirror walk cannot go below: every source entry is listed
// and examined (lstat), the same name is looked up in the target folder
// (lstat), folders are entered in both trees. Nothing is allocated per
// file and nothing else is asked of the kernel.

namespace vell::bench {

namespace {

class Fd final
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            (void)::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    [[nodiscard]] int get() const { return m_fd; }

private:
    int m_fd;
};

int openFolder(int dirFd, const char *name)
{
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Examines the entries of one folder; sub-folder names go to `folders`.
int examineFolder(int source, int target, WalkCount &count, std::vector<std::string> &folders)
{
    alignas(struct dirent64) char buffer[65536];
    for (;;) {
        const ssize_t n = ::getdents64(source, buffer, sizeof buffer);
        if (n < 0)
            return -errno;
        if (n == 0)
            return 0;
        for (ssize_t at = 0; at < n;) {
            const auto *d = reinterpret_cast<const struct dirent64 *>(buffer + at);
            at += d->d_reclen;
            if (isDotOrDotDot(d->d_name))
                continue;
            struct stat st;
            if (::fstatat(source, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // vanished meanwhile
            struct stat tst;
            if (target < 0 || ::fstatat(target, d->d_name, &tst, AT_SYMLINK_NOFOLLOW) != 0)
                ++count.missingInTarget;
            if (S_ISDIR(st.st_mode))
                folders.emplace_back(d->d_name);
            else
                ++count.files;
        }
    }
}

int walk(int source, int target, WalkCount &count)
{
    ++count.folders;
    std::vector<std::string> folders;
    if (const int rc = examineFolder(source, target, count, folders); rc < 0)
        return rc;
    for (const std::string &name : folders) {
        const Fd childSource(openFolder(source, name.c_str()));
        if (childSource.get() < 0)
            continue;
        const Fd childTarget(target >= 0 ? openFolder(target, name.c_str()) : -1);
        if (const int rc = walk(childSource.get(), childTarget.get(), count); rc < 0)
            return rc;
    }
    return 0;
}

} // namespace

int BareWalk(const QByteArray &source, const QByteArray &target, WalkCount &count)
{
    const Fd src(::open(source.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (src.get() < 0)
        return -errno;
    const Fd tgt(::open(target.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return walk(src.get(), tgt.get(), count);
}

} // namespace vell::bench
