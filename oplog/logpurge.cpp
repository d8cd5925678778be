#include "oplog/logpurge.h"

#include "oplog/dailylog.h"
#include "platform/regularfiles.h"
#include "platform/pathcodec.h"

#include <algorithm>

namespace vell {

void PurgeDailyLogs(const QString &folder, int64_t keep)
{
    const QByteArray folderBytes = PathToBytes(folder);
    QByteArrayList names;
    if (platform::listRegularFiles(folderBytes, names) < 0)
        return;
    QByteArrayList logs;
    for (const QByteArray &name : std::as_const(names)) {
        if (DailyLogDay(PathFromBytes(name)).isValid())
            logs.append(name);
    }
    // The date is the only part that differs and is written yyyy-mm-dd, so
    // the order of the names is the order of the days, oldest first.
    std::sort(logs.begin(), logs.end());
    const int64_t excess = int64_t(logs.size()) - std::max<int64_t>(keep, 0);
    for (int64_t i = 0; i < excess; ++i)
        (void)platform::deleteRegularFile(folderBytes, logs.at(qsizetype(i))); // a log that stays is harmless
}

void PurgeBeforeNewLog(const QString &folder, int32_t delaiLogs)
{
    PurgeDailyLogs(folder, int64_t(delaiLogs) - 1);
}

} // namespace vell
