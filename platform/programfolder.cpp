#include "platform/programfolder.h"

#include "base/programidentity.h"
#include "platform/pathcodec.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vell {

namespace {

bool holdsProgramFiles(const QString &folder)
{
    const ProgramFiles files{folder};
    return QFileInfo(files.settingsFile()).isFile() || QFileInfo(files.couplesFile()).isFile();
}

QString installedDataFolder(const QString &executableFolder)
{
    const QString data = QDir::cleanPath(executableFolder + QStringLiteral("/../share/vell"));
    return QFileInfo(data).isDir() ? data : QString();
}

bool writable(const QString &folder)
{
    return ::access(PathToBytes(folder).constData(), W_OK) == 0;
}

// mkdir -p with mode 0700 for what it makes: the settings may name private
// folders.
QString makeFolder(const QString &folder)
{
    QString made;
    for (const QString &part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        made += QLatin1Char('/') + part;
        if (::mkdir(PathToBytes(made).constData(), 0700) == 0 || errno == EEXIST)
            continue;
        return made + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!QFileInfo(folder).isDir())
        return folder + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(ENOTDIR));
    return {};
}

} // namespace

ProgramFolderChoice ChooseProgramFolder(const QString &executableFolder, const QString &configHome,
                                        const QString &home)
{
    ProgramFolderChoice choice;
    choice.dataFolder = installedDataFolder(executableFolder);
    if (holdsProgramFiles(executableFolder)
        || (choice.dataFolder.isEmpty() && writable(executableFolder))) {
        choice.folder = executableFolder;
        choice.portable = true;
        return choice;
    }
    QString base = configHome;
    if (!base.startsWith(QLatin1Char('/'))) // a relative XDG_CONFIG_HOME is to be ignored
        base = home.isEmpty() ? QString() : home + QStringLiteral("/.config");
    if (base.isEmpty()) {
        choice.error = QStringLiteral("neither XDG_CONFIG_HOME nor HOME names a folder for the settings");
        return choice;
    }
    const QString folder = QDir::cleanPath(base + QLatin1Char('/') + ProductName);
    choice.error = makeFolder(folder);
    if (choice.error.isEmpty())
        choice.folder = folder;
    return choice;
}

ProgramFolderChoice ChooseProgramFolderFromEnvironment(const QString &executableFolder)
{
    return ChooseProgramFolder(executableFolder, qEnvironmentVariable("XDG_CONFIG_HOME"),
                               qEnvironmentVariable("HOME"));
}

} // namespace vell
