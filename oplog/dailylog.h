#pragma once

#include "config/settings.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace vell {

// pathLogs + "/Log Vell yyyy-mm-dd.htm". The day is the one the run started
// on, so a run that passes midnight keeps writing into its own day's file.
[[nodiscard]] QString DailyLogFileName(const QString &pathLogs, const QDate &day);

// The day of a file name (without folder) of the exact form
// "Log Vell yyyy-mm-dd.htm" with a real date; an invalid QDate for any
// other name.
[[nodiscard]] QDate DailyLogDay(const QString &fileName);

// The seven header lines of a day's log, without line ends: the title in
// the language of `langue`, the day in the system locale's long format.
[[nodiscard]] QStringList DailyLogHeader(int32_t langue, const QDate &day);

// Creates the day's log `logFile` with its header when it does not exist
// yet, running the purge of the log folder first when PurgeLogs is on;
// when it exists nothing happens. The header shows the day of the file's
// name (today for a name of another form). Returns false only when the
// file is missing and could not be created; nothing is reported.
[[nodiscard]] bool OpenDailyLog(const QString &logFile, const Settings &settings);

// Appends `line` (markup, written as it stands) and CR LF to `logFile`,
// opening and closing the file for this one line; the file is created,
// without header, when missing. 0, or -errno when the line could not be
// written.
[[nodiscard]] int AppendLogLine(const QString &logFile, const QString &line);

} // namespace vell
