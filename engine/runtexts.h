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
