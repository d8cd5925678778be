#include "bench/benchtools.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <algorithm>
#include <string>
#include <sys/stat.h>
#include <thread>
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

// One tree's entries: path relative to the root, and what a comparison
// reads (modification time and size).
struct Seen
{
    std::string path;
    int64_t mtimeNs = 0;
    int64_t size = 0;
};

// Lists and examines every entry below dirFd, folders included.
int scanTree(int dirFd, const std::string &rel, std::vector<Seen> &seen)
{
    std::vector<std::string> folders;
    alignas(struct dirent64) char buffer[65536];
    for (;;) {
        const ssize_t n = ::getdents64(dirFd, buffer, sizeof buffer);
        if (n < 0)
            return -errno;
        if (n == 0)
            break;
        for (ssize_t at = 0; at < n;) {
            const auto *d = reinterpret_cast<const struct dirent64 *>(buffer + at);
            at += d->d_reclen;
            if (isDotOrDotDot(d->d_name))
                continue;
            struct stat st;
            if (::fstatat(dirFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            std::string path = rel.empty() ? std::string(d->d_name) : rel + '/' + d->d_name;
            if (S_ISDIR(st.st_mode))
                folders.push_back(d->d_name);
            seen.push_back(Seen{std::move(path), int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                                int64_t(st.st_size)});
        }
    }
    for (const std::string &name : folders) {
        const Fd child(openFolder(dirFd, name.c_str()));
        if (child.get() < 0)
            continue;
        if (const int rc = scanTree(child.get(), rel.empty() ? name : rel + '/' + name, seen); rc < 0)
            return rc;
    }
    return 0;
}

} // namespace

int BareWalkParallel(const QByteArray &source, const QByteArray &target, WalkCount &count)
{
    const Fd src(::open(source.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const Fd tgt(::open(target.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (src.get() < 0 || tgt.get() < 0)
        return -ENOENT;
    std::vector<Seen> inSource;
    std::vector<Seen> inTarget;
    int targetRc = 0;
    std::thread other([&] { targetRc = scanTree(tgt.get(), std::string(), inTarget); });
    const int sourceRc = scanTree(src.get(), std::string(), inSource);
    other.join();
    if (sourceRc < 0 || targetRc < 0)
        return sourceRc < 0 ? sourceRc : targetRc;
    const auto byPath = [](const Seen &a, const Seen &b) { return a.path < b.path; };
    std::sort(inTarget.begin(), inTarget.end(), byPath);
    for (const Seen &entry : inSource) {
        const auto found = std::lower_bound(inTarget.begin(), inTarget.end(), entry, byPath);
        if (found == inTarget.end() || found->path != entry.path)
            ++count.missingInTarget;
        ++count.files;
    }
    count.folders = 0; // counted among the files here
    return 0;
}

int BareWalk(const QByteArray &source, const QByteArray &target, WalkCount &count)
{
    const Fd src(::open(source.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (src.get() < 0)
        return -errno;
    const Fd tgt(::open(target.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return walk(src.get(), tgt.get(), count);
}

} // namespace vell::bench
