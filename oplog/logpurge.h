#pragma once

#include <QString>
#include <cstdint>

namespace vell {

// Deletes the oldest day's logs of `folder` so that the `keep` newest
// remain (none for keep <= 0). Only regular files named exactly
// "Log Vell yyyy-mm-dd.htm" with a real date count as logs: other names,
// folders and links are never touched, and a link is never followed. The
// folder is listed afresh at each call. Failures are ignored: a log that
// cannot be deleted stays, and nothing is reported.
void PurgeDailyLogs(const QString &folder, int64_t keep);

// The purge run just before a new day's log is created: keeps
// delaiLogs - 1 logs, so that with the new one `DelaiLogs` remain.
void PurgeBeforeNewLog(const QString &folder, int32_t delaiLogs);

} // namespace vell
