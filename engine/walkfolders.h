#pragma once

// What the two walks of a couple share: the couple's two top folders, held
// open for the whole walk, and the descriptors of the folders being walked.

#include "platform/fileops.h"
#include "platform/uniquefd.h"

#include <QByteArray>
#include <QString>
#include <sys/types.h>

namespace vell {

// Below this depth a walk keeps its parents' descriptors open while it goes
// down; deeper, it closes them and reopens them below the top folder when it
// comes back, so a tree of any depth never runs out of descriptors.
constexpr int KeepOpenLevels = 64;

struct FolderId
{
    dev_t dev = 0;
    ino_t ino = 0;
    bool known = false;
    [[nodiscard]] bool is(dev_t d, ino_t i) const { return known && dev == d && ino == i; }
};

struct CoupleFolders
{
    QString sourceText;
    QString targetText;
    platform::UniqueFd source; // invalid when it cannot be opened
    platform::UniqueFd target;
    int sourceError = 0; // -errno of opening the source, 0 when open
    FolderId sourceId;
    FolderId targetId;
};

// What a walk does with one listed entry: without sub-folders, folders
// and hidden items are passed over; with them, a folder is walked later,
// unless it is the couple's other top folder nested inside this one.
enum class EntryRole { PassOver, SubFolder, NestedTop, File };
[[nodiscard]] EntryRole RoleOf(const platform::EntryInfo &entry, bool subFolders, const FolderId &otherTop);

[[nodiscard]] CoupleFolders OpenCoupleFolders(const QString &source, const QString &target);

// Names one couple as its walks see it: both paths, the two folders they
// opened (so that a remount or a changed link between walks tells), and
// whether sub-folders are mirrored.
[[nodiscard]] QByteArray CoupleKey(const CoupleFolders &folders, bool subFolders);

// "a/b" + "c" -> "a/b/c"; "" + "c" -> "c".
[[nodiscard]] QByteArray JoinRelative(const QByteArray &rel, const QByteArray &name);

// The text of an item for the log: top folder + "/" + rel + "/" + name.
[[nodiscard]] QString ItemText(const QString &top, const QByteArray &rel, const QByteArray &name = {});

// Reopens rel below root when a deeper level closed fd.
void EnsureOpen(platform::UniqueFd &fd, int rootFd, const QByteArray &rel);

// Opens the sub-folder name of parent (invalid when parent is).
[[nodiscard]] platform::UniqueFd OpenChild(const platform::UniqueFd &parent, const QByteArray &name);

} // namespace vell
