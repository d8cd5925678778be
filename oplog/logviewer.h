#pragma once

// The logic of the log viewer frmVoirLogs: which logs the folder holds and
// under which date each is shown, where a date stands, deleting one log,
// and the viewer's texts.

#include <QList>
#include <QString>
#include <cstdint>

namespace vell {

// One log of the folder: the date its label shows and the file it opens.
struct ListedLog
{
    QString date;     // the 10 characters from the 10th of the name
    QString fileName; // without folder
    friend bool operator==(const ListedLog &, const ListedLog &) = default;
};

// The regular files of `folder` named "Log Vell" + anything + ".htm",
// oldest date first (the date is written yyyy-mm-dd; names of the same
// date in name order). A missing or unreadable folder lists nothing.
[[nodiscard]] QList<ListedLog> ListLogs(const QString &folder);

// folder + "/" + fileName.
[[nodiscard]] QString LogPath(const QString &folder, const QString &fileName);

// Deletes the log `fileName` of `folder`, and nothing else: only while it
// is a regular file, never through a link. 0 or -errno.
[[nodiscard]] int DeleteLog(const QString &folder, const QString &fileName);

// Dates stand in rows of four, in list order.
inline constexpr int LogDatesPerRow = 4;
struct DateCell
{
    int row;
    int column;
};
[[nodiscard]] constexpr DateCell DateCellOf(int index) { return {index / LogDatesPerRow, index % LogDatesPerRow}; }

// The window's title in the language of `langue`.
[[nodiscard]] QString LogViewerTitle(int32_t langue);
// mnuSupprimerLog's caption and the confirmation's text for `date`.
[[nodiscard]] QString DeleteLogText(const QString &date, int32_t langue);
// mnuAnnuler's caption.
[[nodiscard]] QString LogMenuCancelText(int32_t langue);
// The box for a log that could not be deleted: its path and the reason.
[[nodiscard]] QString DeleteLogFailedMessage(const QString &path, int rc, int32_t langue);
// The box for a log that the system could not open.
[[nodiscard]] QString OpenLogFailedMessage(const QString &path, int32_t langue);

} // namespace vell
