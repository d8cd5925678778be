#include "platform/systeminfo.h"

#include <QFile>
#include <climits>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <vector>

namespace vell {

namespace {

// A value of os-release: shell-like, optionally in single or double
// quotes, with backslash escapes inside double quotes.
QByteArray unquote(const QByteArray &raw)
{
    const QByteArray value = raw.trimmed();
    if (value.size() < 2)
        return value;
    const char quote = value.front();
    if ((quote != '"' && quote != '\'') || value.back() != quote)
        return value;
    const QByteArray inner = value.mid(1, value.size() - 2);
    if (quote == '\'')
        return inner;
    QByteArray out;
    for (qsizetype i = 0; i < inner.size(); ++i) {
        if (inner.at(i) == '\\' && i + 1 < inner.size())
            ++i;
        out.append(inner.at(i));
    }
    return out;
}

QString prettyName()
{
    for (const char *path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile file(QString::fromLatin1(path));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const QByteArray &line : lines) {
            if (line.startsWith("PRETTY_NAME="))
                return QString::fromUtf8(unquote(line.mid(12)));
        }
        return {};
    }
    return {};
}

QString osDescription()
{
    struct utsname names;
    const QString kernel = ::uname(&names) == 0 ? QStringLiteral("Linux ") + QString::fromUtf8(names.release)
                                                : QStringLiteral("Linux");
    const QString pretty = prettyName();
    return pretty.isEmpty() ? kernel : pretty + QStringLiteral(", ") + kernel;
}

QString hostName()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return QString::fromUtf8(name).trimmed();
}

QString effectiveUserName()
{
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size_t(hint > 0 ? hint : 1024));
    struct passwd entry;
    struct passwd *found = nullptr;
    for (;;) {
        const int rc = ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (size_t(1) << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || !found)
            return {};
        return QString::fromUtf8(found->pw_name);
    }
}

} // namespace

SystemInfo QuerySystemInfo()
{
    SystemInfo info;
    info.WindowsFolder = QString::fromLocal8Bit(qgetenv("Windir")).toUpper();
    info.ComputerName = hostName();
    info.UserName = effectiveUserName();
    // The file copy carries every user.* attribute, streams included, as
    // the copy of Windows 2000 does: version 5, no service pack needed.
    info.IsNT = true;
    info.NTMajorVersion = 5;
    info.ServicePack = 0;
    info.OSDescription = osDescription();
    return info;
}

} // namespace vell
