#include "bench/benchtools.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// Deterministic trees for the benchmark: everything (names, sizes, bytes,
// times, which files change) comes from one seeded generator, so two runs
// with the same seed compare the tools on the very same data.

namespace vell::bench {

namespace {

// splitmix64: tiny, fast, and good enough that the bytes do not compress.
class Random final
{
public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    uint64_t below(uint64_t bound) { return bound == 0 ? 0 : next() % bound; }
    void fill(char *data, size_t size)
    {
        for (size_t at = 0; at < size; at += sizeof(uint64_t)) {
            const uint64_t word = next();
            std::memcpy(data + at, &word, std::min(sizeof word, size - at));
        }
    }

private:
    uint64_t m_state;
};

// Original files are dated 2017-2020; modified ones 2023, always later.
constexpr int64_t OriginalTimeBase = 1500000000;
constexpr int64_t OriginalTimeSpan = 100000000;
constexpr int64_t ModifiedTimeBase = 1700000000;
constexpr size_t WriteChunk = size_t(1) << 20;

struct Folder
{
    std::string path; // relative to the root, "" for the root itself
    int depth = 0;
};

std::string childPath(const std::string &parent, const std::string &name)
{
    return parent.empty() ? name : parent + '/' + name;
}

std::string numbered(const char *prefix, uint64_t n, int width)
{
    std::string digits = std::to_string(n);
    if (int(digits.size()) < width)
        digits.insert(0, size_t(width) - digits.size(), '0');
    return prefix + digits;
}

// Names of varied length and extension, one in a hundred hidden.
std::string fileName(Random &random, int index)
{
    static const char *const extensions[] = {".txt", ".doc", ".jpg", ".c", ".h", ".xml", "", ".pdf"};
    std::string name = random.below(100) == 0 ? "." : "";
    name += numbered("f", uint64_t(index), 6) + '-';
    const uint64_t letters = 2 + random.below(18);
    for (uint64_t i = 0; i < letters; ++i)
        name += char('a' + random.below(26));
    return name + extensions[random.below(std::size(extensions))];
}

// Writes `size` random bytes to dirFd/rel (created or truncated) and gives
// it the modification time `seconds` + `nanoseconds`.
int writeFile(int rootFd, const std::string &rel, Random &random, int64_t size, int64_t seconds, long nanoseconds)
{
    const int fd = ::openat(rootFd, rel.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return -errno;
    static std::vector<char> buffer(WriteChunk);
    int rc = 0;
    for (int64_t done = 0; done < size && rc == 0;) {
        const size_t chunk = size_t(std::min<int64_t>(size - done, int64_t(buffer.size())));
        random.fill(buffer.data(), chunk);
        const ssize_t n = ::write(fd, buffer.data(), chunk);
        if (n < 0)
            rc = -errno;
        else
            done += n;
    }
    const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    if (rc == 0 && ::futimens(fd, times) != 0)
        rc = -errno;
    if (::close(fd) != 0 && rc == 0)
        rc = -errno;
    return rc;
}

int makeFolders(int rootFd, const TreeShape &shape, Random &random, std::vector<Folder> &folders)
{
    folders.push_back(Folder{});
    // Parents are drawn among the folders that may still have children, so
    // the tree is bushy near the top and thins out down to `depth`.
    std::vector<size_t> parents{0};
    for (int i = 1; i < shape.folders; ++i) {
        const Folder &parent = folders[parents[random.below(parents.size())]];
        Folder folder{childPath(parent.path, numbered("d", uint64_t(i), 4)), parent.depth + 1};
        if (::mkdirat(rootFd, folder.path.c_str(), 0755) != 0)
            return -errno;
        if (folder.depth < shape.depth)
            parents.push_back(folders.size());
        folders.push_back(std::move(folder));
    }
    return 0;
}

// Every regular file below dirFd, as paths relative to the root, sorted.
int listFiles(int dirFd, const std::string &rel, std::vector<std::string> &files)
{
    DIR *dir = ::fdopendir(::dup(dirFd));
    if (!dir)
        return -errno;
    std::vector<std::string> folders;
    while (const struct dirent *d = ::readdir(dir)) {
        const std::string name = d->d_name;
        if (name == "." || name == "..")
            continue;
        if (d->d_type == DT_DIR)
            folders.push_back(name);
        else if (d->d_type == DT_REG)
            files.push_back(childPath(rel, name));
    }
    ::closedir(dir);
    for (const std::string &name : folders) {
        const int child = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0)
            return -errno;
        const int rc = listFiles(child, childPath(rel, name), files);
        ::close(child);
        if (rc < 0)
            return rc;
    }
    return 0;
}

int openRoot(const QByteArray &root)
{
    return ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

int GenerateTree(const QByteArray &root, const TreeShape &shape)
{
    if (::mkdir(root.constData(), 0755) != 0 && errno != EEXIST)
        return -errno;
    const int rootFd = openRoot(root);
    if (rootFd < 0)
        return -errno;
    Random random(shape.seed);
    std::vector<Folder> folders;
    int rc = makeFolders(rootFd, shape, random, folders);
    for (int i = 0; i < shape.files && rc == 0; ++i) {
        const Folder &folder = folders[random.below(folders.size())];
        const std::string rel = childPath(folder.path, fileName(random, i));
        const int64_t size = int64_t(random.below(uint64_t(shape.maxSize) + 1));
        const int64_t seconds = OriginalTimeBase + int64_t(random.below(OriginalTimeSpan));
        rc = writeFile(rootFd, rel, random, size, seconds, long(random.below(1000000000)));
    }
    ::close(rootFd);
    return rc;
}

int MutateTree(const QByteArray &root, double modifyPercent, double deletePercent, uint64_t seed)
{
    const int rootFd = openRoot(root);
    if (rootFd < 0)
        return -errno;
    std::vector<std::string> files;
    int rc = listFiles(rootFd, std::string(), files);
    std::sort(files.begin(), files.end());
    Random random(seed);
    // A seeded shuffle picks exactly the wanted counts.
    for (size_t i = files.size(); i > 1; --i)
        std::swap(files[i - 1], files[random.below(i)]);
    const auto modified = size_t(double(files.size()) * modifyPercent / 100.0);
    const auto deleted = std::min(files.size() - modified, size_t(double(files.size()) * deletePercent / 100.0));
    for (size_t i = 0; i < modified && rc == 0; ++i) {
        const int64_t size = int64_t(random.below(16385));
        rc = writeFile(rootFd, files[i], random, size, ModifiedTimeBase + int64_t(random.below(1000000)),
                       long(random.below(1000000000)));
    }
    for (size_t i = modified; i < modified + deleted && rc == 0; ++i) {
        if (::unlinkat(rootFd, files[i].c_str(), 0) != 0)
            rc = -errno;
    }
    ::close(rootFd);
    return rc;
}

int GenerateBigFiles(const QByteArray &root, int count, int64_t size, uint64_t seed)
{
    if (::mkdir(root.constData(), 0755) != 0 && errno != EEXIST)
        return -errno;
    const int rootFd = openRoot(root);
    if (rootFd < 0)
        return -errno;
    Random random(seed);
    int rc = 0;
    for (int i = 0; i < count && rc == 0; ++i)
        rc = writeFile(rootFd, "big-" + std::to_string(i) + ".bin", random, size, OriginalTimeBase + i, 0);
    ::close(rootFd);
    return rc;
}

} // namespace vell::bench
