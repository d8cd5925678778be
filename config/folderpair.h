#pragma once

#include <QList>
#include <QString>
#include <cstdint>

namespace vell {

// One couple: a source folder, a target folder and the modes that apply to
// this couple alone. Paths are kept as chosen or typed.
struct FolderPair
{
    QString Source;
    QString Cible;
    // Stored as text: the grid tells "1" (the default delay) from "01".
    QString NbTemporisationsText = QStringLiteral("1");
    int32_t NbTemporisations = 1;        // 1 to 64000 (more than 16 bits); the loader holds it there
    int32_t TemporisationsRestantes = 1; // countdown, not stored
    bool Deplacer = false;
    bool Renommer = false;
    bool Effacer = false;
    bool Nouveau = false;
    // The file system the source lay on at the couple's last complete run
    // (stored; empty when never known): an empty source on another one is
    // a disk that is not mounted, never a reason to empty the target.
    QString SourceFileSystem;
};

// The key of FolderPair::SourceFileSystem in the couple's "Mirror_" section;
// older settings files simply lack it.
inline const QString SourceFileSystemKey = QStringLiteral("SystemeFichiersSource");

// The ordered couples. A save writes the couple at index i on line i + 1
// of Vell.w with its modes in "Mirror_" + (i + 1).
using FolderPairList = QList<FolderPair>;

} // namespace vell
