#pragma once

// The logic of the two log settings dialogs, frmPathLogs (whether and where
// the daily logs are written) and frmPurgeLogs (how many are kept): their
// texts, the purge number's steps and check, and what OK writes.

#include "base/caption.h"
#include "config/settings.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace vell {

struct ProgramFiles;

// The purge number's bounds: the spin buttons never leave them and OK
// refuses a number outside them.
inline constexpr int32_t MinimumDelaiLogs = 2;
inline constexpr int32_t MaximumDelaiLogs = 366;

// Every caption of frmPathLogs (window title included) in the language of
// `langue`.
[[nodiscard]] QList<Caption> PathLogsCaptions(int32_t langue);

// The folder the chooser opens on: `pathLogs` when it is a readable folder,
// else the program folder (a logs folder removed since start-up).
[[nodiscard]] QString InitialLogFolder(const QString &pathLogs, const QString &programFolder);

// The root paths of the mounted volumes, sorted, that the drive list
// offers; `/` always among them.
[[nodiscard]] QStringList LogFolderDrives();
// The root path of the volume that holds `folder` ("/" when unknown).
[[nodiscard]] QString DriveOf(const QString &folder);

// OK of frmPathLogs: writes Logs, FichiersLogs and PathLogs (the folder
// as shown, also when logging is off) in one save of the settings file,
// then sets them in `settings`. Returns 0, or -errno with `settings` and
// the file unchanged.
[[nodiscard]] int StoreLogFolder(const ProgramFiles &files, Settings &settings, bool logs, bool fichiersLogs,
                                 const QString &pathLogs);

// Every caption of frmPurgeLogs (window title included).
[[nodiscard]] QList<Caption> PurgeLogsCaptions(int32_t langue);

// The number a text starts with, as a typed number is read: blanks, a
// sign, digits, a fraction and an exponent; 0 when it starts with none.
[[nodiscard]] double LeadingNumber(const QString &text);

enum class PurgeLimit { None, Minimum, Maximum };
struct PurgeStep
{
    int32_t number;   // what Text1 shows next
    PurgeLimit limit; // which message Label1 shows (None: Label1 hidden)
};
// One click on the spin buttons (`delta` +1 up, -1 down) from the text of
// Text1: its number plus delta, rounded half to even, kept within the
// bounds. Reaching the bound the click moves towards shows its message; a
// number typed beyond the other bound is brought back with that bound's.
[[nodiscard]] PurgeStep StepPurgeNumber(const QString &text, int delta);

// Label1's text for a bound reached (empty for None).
[[nodiscard]] QString PurgeLimitMessage(PurgeLimit limit, int32_t langue);

// The number OK stores from the text typed (rounded half to even), or -1
// when it lies outside the bounds.
[[nodiscard]] int32_t CheckPurgeNumber(const QString &text);
// The box shown for a refused number: the message and the text as typed.
[[nodiscard]] QString InvalidPurgeNumberMessage(const QString &typed, int32_t langue);

// OK of frmPurgeLogs: writes PurgeLogs and DelaiLogs in one save, then sets
// them in `settings`. Returns 0, or -errno with nothing changed.
[[nodiscard]] int StorePurge(const ProgramFiles &files, Settings &settings, bool purgeLogs, int32_t delaiLogs);

// The title of both dialogs: "Vell 2.1e".
[[nodiscard]] QString LogDialogTitle();

} // namespace vell
