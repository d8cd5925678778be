#pragma once

// The commands that change the couple list: add a couple, give one a new
// source or target, remove a block of them. Each asks through UserDialogs,
// changes the list and saves it; the caller then reloads the grid.

#include "config/defaulttarget.h"
#include "config/folderpair.h"
#include "config/folderpairsfile.h"
#include "config/settings.h"

#include <QList>
#include <QString>

namespace vell {

struct ProgramFiles;
struct SystemInfo;
class UserDialogs;

// What the grid shows selected: its current row, the other end of a
// dragged selection, and whether the highlight is shown at all (after a
// load it is not, so nothing counts as selected).
struct GridSelection
{
    qsizetype currentRow = -1;
    qsizetype endRow = -1;
    bool shown = false;
};

enum class EditAction { Add, Modify };

struct EditOutcome
{
    bool changed = false;   // the list changed and was saved: reload the grid
    bool openModes = false; // an add by the folder browser: open the modes of the new last couple
};

// Everything an editing command reads besides the list it changes.
struct EditContext
{
    const ProgramFiles &files;
    const Settings &settings;
    const SystemInfo &system;
    UserDialogs &dialogs;
};

// Adds a couple (source only: its target is the default target) or gives
// the selected couple a new source or target, chosen in the folder browser
// or typed. A cancel or an empty path changes nothing; a save that fails is
// shown and leaves the files as they were.
[[nodiscard]] EditOutcome EditFolderPair(EditAction action, FolderRole role, PathMeans means,
                                         const GridSelection &selection, FolderPairList &pairs,
                                         const EditContext &context);

// The rows a removal takes: from the current row to the other end of the
// selection, in either direction. Both -1 when nothing is selected.
struct RowBlock
{
    qsizetype first = -1;
    qsizetype last = -1;
};
[[nodiscard]] RowBlock RemovalBlock(const GridSelection &selection, qsizetype rowCount);

// Removes the selected block of couples after a Yes to the confirmation.
// Returns whether the list changed and was saved.
[[nodiscard]] bool RemoveFolderPairs(const GridSelection &selection, FolderPairList &pairs,
                                     const EditContext &context);

} // namespace vell
