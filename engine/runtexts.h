#pragma once

#include "config/settings.h"
#include "engine/runstate.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace vell {

// The texts of a mirror run in the three languages (Langue 1 French,
// 2 Portuguese, anything else English).

// " - Unknown source folder" / " - Unknown target folder" and translations.
[[nodiscard]] QString UnknownFolderText(bool source, int32_t langue);

// Why an empty source counts as unknown: its disk is not mounted.
enum class NotMountedReason { FstabMountPoint, OtherFileSystem };
// " (empty, its disk is not mounted)" and the like, after the alert text.
[[nodiscard]] QString NotMountedText(NotMountedReason reason, int32_t langue);

// Why a couple's folders are not watched, so that each of its runs reads
// every folder: `detail` is the file system's name (FileSystem) or the
// system's error text (Refused); `needed` and `available` count watches
// (TooManyWatches) or folders (TooManyFolders: `available` is the cap).
struct WatchFallback
{
    enum class Reason { FileSystem, TooManyWatches, TooManyFolders, Refused };
    Reason reason = Reason::Refused;
    QString detail;
    int64_t needed = 0;
    int64_t available = 0;
    friend bool operator==(const WatchFallback &, const WatchFallback &) = default;
};
// "Folders not watched (file system fuse), every run reads them all" and the
// like, without the couple's folder.
[[nodiscard]] QString WatchFallbackText(const WatchFallback &why, int32_t langue);

// The summary lines. `end` gives the date and time shown, `elapsedMs` the
// duration (two decimals with the locale's decimal separator); the long
// date is the locale's long format. A third line, only when the run had
// failures, counts them and says where they are listed: `failuresPlace`
// (the day's log), or the system journal when it is empty.
struct SummaryLines
{
    QString line1;
    QString line2;
    QString line3; // empty when the run had no failure

    [[nodiscard]] QString text() const
    {
        return line1 + QLatin1Char('\n') + line2 + (line3.isEmpty() ? QString() : QLatin1Char('\n') + line3);
    }
};
[[nodiscard]] SummaryLines BuildSummaryLines(const RunTotals &totals, const Settings &settings, bool isNT,
                                             const QDateTime &end, qint64 elapsedMs,
                                             const QString &failuresPlace = {},
                                             const QLocale &locale = QLocale::system());

// The tray tips of the three states.
[[nodiscard]] QString TrayTip(int state, int32_t langue); // 0 idle, 1 mirroring, 2 waiting

// Start/Stop command texts: the cmdMiroir tooltip and the mnuDemarrer caption.
[[nodiscard]] QString StartStopTooltip(bool running, int32_t langue);
[[nodiscard]] QString StartStopCaption(bool running, int32_t langue);

} // namespace vell
