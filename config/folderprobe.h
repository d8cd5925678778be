#pragma once

#include <QString>

namespace vell {

// True when `path` names a folder that can be opened and read, empty or not
// (a link to a folder counts: the user chose the path). This is the test
// behind the "??? " marks of the grid and the logs folder check.
[[nodiscard]] bool FolderExists(const QString &path);

// True when the folder, or one of its ancestors, holds an entry named
// "Network Trash Folder" (of any kind, a dangling link included): the mark
// of a volume that Macintosh clients use. "/srv/mac/Docs" probes
// "/srv/mac/Docs", "/srv/mac", "/srv" and "/" in turn.
[[nodiscard]] bool IsOnMacintoshVolume(const QString &folder);

} // namespace vell
