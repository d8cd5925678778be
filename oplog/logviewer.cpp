#include "oplog/logviewer.h"

#include "base/language.h"
#include "base/programidentity.h"
#include "platform/pathcodec.h"
#include "platform/regularfiles.h"

#include <algorithm>
#include <cstring>

namespace vell {

namespace {

// The name "Log Vell yyyy-mm-dd.htm" puts its date at the 10th character.
constexpr qsizetype DateAt = 9;
constexpr qsizetype DateLength = 10;

} // namespace

QList<ListedLog> ListLogs(const QString &folder)
{
    QByteArrayList names;
    if (platform::listRegularFiles(PathToBytes(folder), names) < 0)
        return {}; // no folder, no logs: the viewer just stays empty
    const QString prefix = QLatin1String("Log ") + ProductName;
    const QLatin1String extension(".htm");
    QList<ListedLog> logs;
    for (const QByteArray &bytes : std::as_const(names)) {
        const QString name = PathFromBytes(bytes);
        if (name.size() >= prefix.size() + extension.size() && name.startsWith(prefix) && name.endsWith(extension))
            logs.append({name.mid(DateAt, DateLength), name});
    }
    std::sort(logs.begin(), logs.end(), [](const ListedLog &a, const ListedLog &b) {
        return a.date != b.date ? a.date < b.date : a.fileName < b.fileName;
    });
    return logs;
}

QString LogPath(const QString &folder, const QString &fileName)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + fileName : folder + QLatin1Char('/') + fileName;
}

int DeleteLog(const QString &folder, const QString &fileName)
{
    return platform::deleteRegularFile(PathToBytes(folder), PathToBytes(fileName));
}

QString LogViewerTitle(int32_t langue)
{
    switch (LanguageOf(langue)) {
    case Language::French:
        return QStringLiteral("Voir les journaux - [Retour à ") + ProductName + QStringLiteral("] ->");
    case Language::Portuguese:
        return QStringLiteral("Ver os jornais - [Fechar para ") + ProductName + QStringLiteral("] ->");
    case Language::English:
        break;
    }
    return QStringLiteral("Check Logs - [Back to ") + ProductName + QStringLiteral(": close] ->");
}

QString DeleteLogText(const QString &date, int32_t langue)
{
    return Trilingual{"Effacer le journal '", "Remove Log '", "Suprimir o jornal '"}.in(langue) + date
        + QLatin1Char('\'');
}

QString LogMenuCancelText(int32_t langue) { return Trilingual{"Annuler", "Cancel", "Cancelar"}.in(langue); }

QString DeleteLogFailedMessage(const QString &path, int rc, int32_t langue)
{
    return Trilingual{"Le journal n'a pas pu être effacé", "The Log could not be removed",
                      "Não foi possível suprimir o jornal"}.in(langue)
        + QStringLiteral(":\n") + path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(-rc));
}

QString OpenLogFailedMessage(const QString &path, int32_t langue)
{
    return Trilingual{"Le journal n'a pas pu être ouvert", "The Log could not be opened",
                      "Não foi possível abrir o jornal"}.in(langue)
        + QStringLiteral(":\n") + path;
}

} // namespace vell
