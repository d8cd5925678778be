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

// The two summary lines. `end` gives the date and time shown, `elapsedMs`
// the duration (two decimals with the locale's decimal separator); the
// long date is the locale's long format.
struct SummaryLines
{
    QString line1;
    QString line2;
};
[[nodiscard]] SummaryLines BuildSummaryLines(const RunTotals &totals, const Settings &settings, bool isNT,
                                             const QDateTime &end, qint64 elapsedMs,
                                             const QLocale &locale = QLocale::system());

// The tray tips of the three states.
[[nodiscard]] QString TrayTip(int state, int32_t langue); // 0 idle, 1 mirroring, 2 waiting

// Start/Stop command texts: the cmdMiroir tooltip and the mnuDemarrer caption.
[[nodiscard]] QString StartStopTooltip(bool running, int32_t langue);
[[nodiscard]] QString StartStopCaption(bool running, int32_t langue);

} // namespace vell
