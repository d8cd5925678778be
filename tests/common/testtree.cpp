#include "testtree.h"
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

TestTree::TestTree() : m_root(QFile::encodeName(m_dir.path())) {}
namespace {
// The item's status, not following links; st_mode is 0 when it is absent.
struct stat statOf(const QByteArray &path)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        st.st_mode = 0;
    return st;
}
QByteArray parentOf(const QByteArray &rel) { return rel.left(qMax<qsizetype>(rel.lastIndexOf('/'), 0)); }
// The names in the folder but . and .., unsorted; closes it.
QByteArrayList namesIn(DIR *dir)
{
    QByteArrayList names;
    while (const dirent *e = dir ? ::readdir(dir) : nullptr)
        if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0)
            names << QByteArray(e->d_name);
    if (dir)
        ::closedir(dir);
    return names;
}
// Removes everything in the open folder, whatever the names' bytes and the depth (one descriptor a level).
void removeAllIn(int dirFd)
{
    for (const QByteArray &name : namesIn(::fdopendir(::dup(dirFd)))) {
        if (::unlinkat(dirFd, name.constData(), 0) == 0)
            continue;
        const int sub = ::openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub >= 0) {
            removeAllIn(sub);
            ::close(sub);
        }
        (void)::unlinkat(dirFd, name.constData(), AT_REMOVEDIR);
    }
}
constexpr int64_t DefaultTime = 1000000000;
// Cuts "<mark>value" off the end of an item's text; empty when absent.
QByteArray takeSuffix(QByteArray &item, char mark)
{
    const qsizetype at = item.lastIndexOf(mark);
    if (at <= 0)
        return {};
    const QByteArray value = item.mid(at + 1);
    item.truncate(at);
    return value;
}
} // namespace
// QTemporaryDir cannot remove names that are not UTF-8 nor paths longer than PATH_MAX: this can.
TestTree::~TestTree()
{
    resetModes();
    if (const int fd = ::open(m_root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
        removeAllIn(fd);
        ::close(fd);
    }
}
bool TestTree::mkdir(const QByteArray &rel)
{
    QByteArray sofar = m_root;
    for (const QByteArray &part : rel.split('/')) {
        if (part.isEmpty())
            continue;
        sofar += '/' + part;
        if (::mkdir(sofar.constData(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}
bool TestTree::write(const QByteArray &rel, const QByteArray &data)
{
    if (!mkdir(parentOf(rel)))
        return false;
    const int fd = ::open(path(rel).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool ok = fd >= 0 && ::write(fd, data.constData(), size_t(data.size())) == data.size();
    (void)::close(fd); // -1 when it did not open: harmless
    return ok;
}
bool TestTree::symlink(const QByteArray &rel, const QByteArray &text)
{
    return mkdir(parentOf(rel)) && ::symlink(text.constData(), path(rel).constData()) == 0;
}
bool TestTree::mkfifo(const QByteArray &rel) { return ::mkfifo(path(rel).constData(), 0644) == 0; }
bool TestTree::setMode(const QByteArray &rel, unsigned mode) { return ::chmod(path(rel).constData(), mode) == 0; }
bool TestTree::setMtime(const QByteArray &rel, int64_t sec, long nsec)
{
    const struct timespec times[2] = {{sec, nsec}, {sec, nsec}};
    return ::utimensat(AT_FDCWD, path(rel).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}
bool TestTree::setXattr(const QByteArray &rel, const QByteArray &name, const QByteArray &value)
{
    return ::lsetxattr(path(rel).constData(), name.constData(), value.constData(), size_t(value.size()), 0) == 0;
}
bool TestTree::setStream(const QByteArray &rel, const QByteArray &stream, const QByteArray &data)
{
    return setXattr(rel, "user.DosStream." + stream + ":$DATA", data + '\0');
}
bool TestTree::exists(const QByteArray &rel) const { return statOf(path(rel)).st_mode != 0; }
bool TestTree::isDir(const QByteArray &rel) const { return S_ISDIR(statOf(path(rel)).st_mode); }
bool TestTree::isLink(const QByteArray &rel) const { return S_ISLNK(statOf(path(rel)).st_mode); }
unsigned TestTree::mode(const QByteArray &rel) const { return statOf(path(rel)).st_mode & 07777; }
QByteArray TestTree::read(const QByteArray &rel) const
{
    const int fd = ::open(path(rel).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return {};
    QByteArray data;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        data.append(buffer, n);
    ::close(fd);
    return data;
}
QByteArray TestTree::linkText(const QByteArray &rel) const
{
    char buffer[4096];
    const ssize_t n = ::readlink(path(rel).constData(), buffer, sizeof buffer);
    return n < 0 ? QByteArray() : QByteArray(buffer, n);
}
QByteArray TestTree::xattr(const QByteArray &rel, const QByteArray &name) const
{
    char buffer[65536];
    const ssize_t n = ::lgetxattr(path(rel).constData(), name.constData(), buffer, sizeof buffer);
    return n < 0 ? QByteArray() : QByteArray(buffer, n);
}
bool TestTree::hasXattr(const QByteArray &rel, const QByteArray &name) const
{
    return ::lgetxattr(path(rel).constData(), name.constData(), nullptr, 0) >= 0;
}
QByteArray TestTree::stream(const QByteArray &rel, const QByteArray &stream) const
{
    QByteArray value = xattr(rel, "user.DosStream." + stream + ":$DATA");
    if (value.endsWith('\0'))
        value.chop(1);
    return value;
}
int64_t TestTree::mtimeSec(const QByteArray &rel) const { return exists(rel) ? statOf(path(rel)).st_mtim.tv_sec : -1; }
long TestTree::mtimeNsec(const QByteArray &rel) const { return exists(rel) ? statOf(path(rel)).st_mtim.tv_nsec : -1; }
QByteArrayList TestTree::entries(const QByteArray &rel) const
{
    QByteArrayList names = namesIn(::opendir(path(rel).constData()));
    std::sort(names.begin(), names.end());
    return names;
}
bool RunningAsRoot() { return ::geteuid() == 0; }
bool TestTree::build(const QByteArrayList &items)
{
    for (QByteArray item : items) {
        bool ok = false;
        if (const qsizetype arrow = item.indexOf("->"); arrow > 0) {
            ok = symlink(item.left(arrow), item.mid(arrow + 2)) && setMtime(item.left(arrow), DefaultTime);
        } else if (const qsizetype hard = item.indexOf("=>"); hard > 0) {
            ok = mkdir(parentOf(item.left(hard)))
                && ::link(path(item.mid(hard + 2)).constData(), path(item.left(hard)).constData()) == 0;
        } else if (item.endsWith('|')) {
            ok = mkdir(parentOf(item)) && mkfifo(item.chopped(1));
        } else if (const qsizetype dollar = item.indexOf('$'); dollar > 0) {
            const qsizetype eq = item.indexOf('=', dollar);
            ok = setStream(item.left(dollar), item.mid(dollar + 1, eq - dollar - 1), item.mid(eq + 1));
        } else {
            const QByteArray mode = takeSuffix(item, '%');
            const QByteArray dos = takeSuffix(item, '#');
            const QByteArray time = takeSuffix(item, '@');
            const qsizetype eq = item.indexOf('=');
            const QByteArray rel = eq > 0 ? item.left(eq) : item;
            if (rel.endsWith('/')) {
                ok = mkdir(rel);
            } else {
                const QList<QByteArray> parts = time.split('.');
                ok = write(rel, eq > 0 ? item.mid(eq + 1) : QByteArray("x"))
                    && setMtime(rel, time.isEmpty() ? DefaultTime : parts.at(0).toLongLong(),
                                parts.size() > 1 ? parts.at(1).leftJustified(9, '0').toLong() : 0);
            }
            if (ok && !dos.isEmpty())
                ok = setXattr(rel, "user.DOSATTRIB", dos + '\0');
            if (ok && !mode.isEmpty())
                ok = setMode(rel, mode.toUInt(nullptr, 8));
        }
        if (!ok)
            return false;
    }
    return true;
}
QByteArrayList TestTree::snapshot(const QByteArray &rel) const
{
    QByteArrayList items;
    for (const QByteArray &name : entries(rel)) {
        const QByteArray item = rel.isEmpty() ? name : rel + '/' + name;
        const struct stat st = statOf(path(item));
        if (st.st_mode == 0)
            continue;
        QByteArray dos = xattr(item, "user.DOSATTRIB");
        dos = dos.isEmpty() ? QByteArray() : '#' + dos.left(dos.indexOf('\0'));
        const unsigned defaultMode = S_ISDIR(st.st_mode) ? 0755 : 0644;
        const QByteArray mode = (st.st_mode & 07777) == defaultMode ? QByteArray()
                                                                    : '%' + QByteArray::number(st.st_mode & 07777, 8);
        char names[4096];
        const ssize_t size = ::llistxattr(path(item).constData(), names, sizeof names);
        for (const QByteArray &name : QByteArray(names, qMax<ssize_t>(size, 0)).split('\0'))
            if (name.startsWith("user.DosStream.") && name.endsWith(":$DATA"))
                items << item + '$' + name.mid(15).chopped(6) + '=' + stream(item, name.mid(15).chopped(6));
        if (S_ISLNK(st.st_mode)) {
            items << item + "->" + linkText(item);
        } else if (S_ISFIFO(st.st_mode)) {
            items << item + '|';
        } else if (S_ISDIR(st.st_mode)) {
            const QByteArrayList below = snapshot(item);
            if (below.isEmpty() || !dos.isEmpty() || !mode.isEmpty())
                items << item + '/' + dos + mode;
            items << below;
        } else {
            const QByteArray data = read(item);
            items << item + (data == "x" ? QByteArray() : '=' + data) + dos + mode;
        }
    }
    std::sort(items.begin(), items.end());
    return items;
}
void TestTree::resetModes(const QByteArray &rel) const
{
    (void)::chmod(path(rel).constData(), 0755);
    for (const QByteArray &name : entries(rel)) {
        const QByteArray item = rel.isEmpty() ? name : rel + '/' + name;
        if (isDir(item))
            resetModes(item);
        else if (!isLink(item))
            (void)::chmod(path(item).constData(), 0644);
    }
}
bool TestTree::makeChain(const QByteArray &rel, const QByteArray &name, int depth, const QByteArray &file)
{
    int fd = ::open(path(rel).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < depth && fd >= 0; ++i) {
        (void)::mkdirat(fd, name.constData(), 0755);
        const int next = ::openat(fd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    const int out = fd < 0 ? -1 : ::openat(fd, file.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ::close(fd);
    ::close(out);
    return out >= 0;
}
