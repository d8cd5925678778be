#include "config/defaulttarget.h"

#include "base/language.h"
#include "platform/systeminfo.h"

namespace vell {

namespace {

const QString UncStart = QStringLiteral("//");

// Joins without doubling the "/" between a prefix ending in one and a path
// beginning with one.
QString joined(const QString &prefix, const QString &rest)
{
    if (prefix.endsWith(u'/') && rest.startsWith(u'/'))
        return prefix + rest.mid(1);
    return prefix + rest;
}

QString uncTarget(const QString &path, const QString &uncPrefix)
{
    const QString afterStart = path.mid(2); // server and what follows
    const qsizetype serverEnd = afterStart.indexOf(u'/');
    if (serverEnd < 0)
        return {};
    const QString share = afterStart.mid(serverEnd + 1); // share and what follows
    const qsizetype shareEnd = share.indexOf(u'/');
    return shareEnd < 0 ? uncPrefix : joined(uncPrefix, share.mid(shareEnd));
}

} // namespace

QString DefaultTarget(const QString &path, const QString &drivePrefix, const QString &uncPrefix)
{
    const bool unc = path.startsWith(UncStart);
    if (!drivePrefix.isEmpty() && !unc) {
        if (path.startsWith(u'/'))
            return joined(drivePrefix, path);
        if (path.contains(u':'))
            return drivePrefix + path.mid(2);
    }
    if (!uncPrefix.isEmpty() && unc)
        return uncTarget(path, uncPrefix);
    return {};
}

PathWarnings WarningsForNewPath(const QString &path, FolderRole role, PathMeans means, const SystemInfo &system)
{
    PathWarnings warnings;
    warnings.unc = role == FolderRole::Source && means == PathMeans::Browser && system.IsNT
                   && path.startsWith(UncStart);
    warnings.windowsFolder = !system.WindowsFolder.isEmpty() && path.toUpper().contains(system.WindowsFolder);
    return warnings;
}

QString UncWarningText(int32_t langue)
{
    // French is shown for Portuguese too: there is no Portuguese text.
    static constexpr const char *French = "Dossiers sources:\r\n"
                                          "utiliser une lettre (C:, D:)\r\n"
                                          "plutôt qu'un chemin UNC (\\\\Serveur\\Partage\\Dossier)\r\n"
                                          "pour répliquer les fichiers ouverts\r\n"
                                          "cf. Documentation de Korvane";
    return Trilingual{French,
                      "Source folders:\r\n"
                      "use a drive letter (C:, D:)\r\n"
                      "instead UNC path (\\\\Server\\Share\\Folder)\r\n"
                      "in order to mirror opened files\r\n"
                      "cf. Korvane documentation",
                      French}
        .in(langue);
}

QString WindowsFolderWarningText(int32_t langue)
{
    return Trilingual{"ATTENTION: inclure un sous-dossier de Windows peut endommager le système",
                      "WARNING: including a Windows sub-folder can damage your system",
                      "ATENÇÃO: incluir uma sub-pasta de Windows pode danificar o sistema"}
        .in(langue);
}

} // namespace vell
