#pragma once

// The default target of a new couple and the warnings a new folder path
// can raise, as plain functions: the editing commands show the messages.

#include <QString>
#include <cstdint>

namespace vell {

struct SystemInfo;

// The default target of source `path` from the drive prefix
// (`PrefixeCibleDefaut`) and the UNC prefix (`PrefixeCibleDefautUNC`):
// - an absolute path (one "/" first) with a drive prefix: prefix + path,
//   so "/backup" makes "/home/ann/Work" go to "/backup/home/ann/Work";
// - else a path holding a colon, with a drive prefix: prefix + the path
//   without its first two characters ("E:" makes "C:\Data" "E:\Data");
// - a path beginning with "//" and a UNC prefix: the prefix + what follows
//   the server and share ("//Srv/Share/Dept/X" gives prefix + "/Dept/X",
//   "//Srv/Share" the prefix alone, "//Srv" nothing);
// - otherwise empty: the couple has no target yet.
[[nodiscard]] QString DefaultTarget(const QString &path, const QString &drivePrefix, const QString &uncPrefix);

// How the new path was given.
enum class FolderRole { Source, Target };
enum class PathMeans { Browser, Typed };

// Which warnings apply to a new path, in the order they are shown.
struct PathWarnings
{
    bool unc = false;           // a source picked in the folder browser, on NT, beginning with "//"
    bool windowsFolder = false; // the upper-cased path contains `WindowsFolder` (never when that is empty)
};
[[nodiscard]] PathWarnings WarningsForNewPath(const QString &path, FolderRole role, PathMeans means,
                                              const SystemInfo &system);

// The texts of the two warnings in the language of `langue` (the UNC text
// exists in French, also shown for Portuguese, and English).
[[nodiscard]] QString UncWarningText(int32_t langue);
[[nodiscard]] QString WindowsFolderWarningText(int32_t langue);

} // namespace vell
