#include "testtree.h"

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

TestTree::TestTree() : m_root(QFile::encodeName(m_dir.path())) {}

QString TestTree::rootText() const { return m_dir.path(); }

QByteArray TestTree::path(const QByteArray &rel) const
{
    return rel.isEmpty() ? m_root : m_root + '/' + rel;
}

QString TestTree::pathText(const QByteArray &rel) const { return QFile::decodeName(path(rel)); }

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
    const qsizetype slash = rel.lastIndexOf('/');
    if (slash > 0 && !mkdir(rel.left(slash)))
        return false;
    const int fd = ::open(path(rel).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data.constData(), size_t(data.size())) == data.size();
    ::close(fd);
    return ok;
}

bool TestTree::symlink(const QByteArray &rel, const QByteArray &text)
{
    const qsizetype slash = rel.lastIndexOf('/');
    if (slash > 0 && !mkdir(rel.left(slash)))
        return false;
    return ::symlink(text.constData(), path(rel).constData()) == 0;
}

bool TestTree::mkfifo(const QByteArray &rel) { return ::mkfifo(path(rel).constData(), 0644) == 0; }

bool TestTree::setMtime(const QByteArray &rel, int64_t sec, long nsec)
{
    struct timespec times[2];
    times[0].tv_sec = sec;
    times[0].tv_nsec = nsec;
    times[1] = times[0];
    return ::utimensat(AT_FDCWD, path(rel).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool TestTree::setMode(const QByteArray &rel, unsigned mode) { return ::chmod(path(rel).constData(), mode) == 0; }

bool TestTree::setXattr(const QByteArray &rel, const QByteArray &name, const QByteArray &value)
{
    return ::lsetxattr(path(rel).constData(), name.constData(), value.constData(), size_t(value.size()), 0) == 0;
}

bool TestTree::setStream(const QByteArray &rel, const QByteArray &stream, const QByteArray &data)
{
    QByteArray value = data;
    value.append('\0');
    return setXattr(rel, "user.DosStream." + stream + ":$DATA", value);
}

bool TestTree::exists(const QByteArray &rel) const
{
    struct stat st;
    return ::lstat(path(rel).constData(), &st) == 0;
}

bool TestTree::isDir(const QByteArray &rel) const
{
    struct stat st;
    return ::lstat(path(rel).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool TestTree::isLink(const QByteArray &rel) const
{
    struct stat st;
    return ::lstat(path(rel).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

QByteArray TestTree::read(const QByteArray &rel) const
{
    const int fd = ::open(path(rel).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return {};
    QByteArray data;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
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

unsigned TestTree::mode(const QByteArray &rel) const
{
    struct stat st;
    return ::lstat(path(rel).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

int64_t TestTree::mtimeSec(const QByteArray &rel) const
{
    struct stat st;
    return ::lstat(path(rel).constData(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

long TestTree::mtimeNsec(const QByteArray &rel) const
{
    struct stat st;
    return ::lstat(path(rel).constData(), &st) == 0 ? st.st_mtim.tv_nsec : -1;
}

QByteArrayList TestTree::entries(const QByteArray &rel) const
{
    QByteArrayList names;
    DIR *dir = ::opendir(path(rel).constData());
    if (!dir)
        return names;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name != "." && name != "..")
            names << name;
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool RunningAsRoot() { return ::geteuid() == 0; }
