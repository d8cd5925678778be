#pragma once

// The texts the couple grid and the file lists show: the hover
// description, the file counts, the file tooltips and the byte sizes.

#include "config/folderpair.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <cstdint>

namespace vell {

// "1 h 0 min 0 s", "2 min 5 s" or "10 s": the largest unit first, zero
// units left out only at the front.
[[nodiscard]] QString DelayTimeText(int64_t seconds);

// The status line's description of a couple under the pointer: its two
// cell texts (trimmed), then on a second line "T = " + the time between two
// of its runs and its modes. Langue 1 and 2 both take the French mode texts.
[[nodiscard]] QString HoverDescription(const QString &sourceText, const QString &targetText, const FolderPair &pair,
                                       int32_t temporisation, int32_t langue, bool isNT);

// A byte count as "1,023 bytes", "1.00KB (1,024 bytes)", "0.98MB (...)" or
// "0.98GB (...)", with the separators of `locale`.
[[nodiscard]] QString FormatSize(int32_t bytes, const QLocale &locale = QLocale::system());

// "12 files/folders in " + the folder's grid text (trimmed), by language.
[[nodiscard]] QString FileCountText(qsizetype count, const QString &folderText, int32_t langue);

// A file list's tooltip: "folder [Data]" for a sub-folder, the name and its
// size for a file.
[[nodiscard]] QString FolderItemTooltip(const QString &itemText, int32_t langue);
[[nodiscard]] QString FileItemTooltip(const QString &itemText, int32_t bytes, const QLocale &locale = QLocale::system());

// One item of a file list: "[" + name + "]" with -1 for a sub-folder, the
// name with the low 32 bits of its size for a file or link.
struct FolderItem
{
    QString text;
    int32_t data = -1;
};

// The entries of `path` in the order the folder lists them. A folder that
// is missing or cannot be read gives an empty list (its count says 0).
[[nodiscard]] QList<FolderItem> FolderItems(const QString &path);

} // namespace vell
