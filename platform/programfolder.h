#pragma once

// Where Vell keeps its files. A portable Vell lives in a folder of its own,
// beside its settings; an installed one (/usr/bin/vell) keeps them in the
// user's configuration folder, since it cannot write beside itself and
// several users share it.

#include <QString>

namespace vell {

struct ProgramFolderChoice
{
    QString folder;         // without a trailing "/"; empty when it could not be made
    QString dataFolder;     // the installed help files, or empty for a portable program
    QString error;          // why `folder` is empty
    bool portable = false;  // the executable's own folder
};

// `executableFolder` is portable when it holds Vell.ini or Vell.w, or when
// it is writable and not part of an installed layout (its ../share/vell,
// where the installation puts the help files). Otherwise the folder is
// `configHome`/Vell (configHome: $XDG_CONFIG_HOME when absolute, else
// `home`/.config), made here when missing.
[[nodiscard]] ProgramFolderChoice ChooseProgramFolder(const QString &executableFolder, const QString &configHome,
                                                      const QString &home);

// The same for this process, from its environment.
[[nodiscard]] ProgramFolderChoice ChooseProgramFolderFromEnvironment(const QString &executableFolder);

} // namespace vell
