#pragma once

// The logic of the folder-error alerts dialog: what it shows, what OK
// writes, and what its try button raises.

#include "base/caption.h"
#include "config/settings.h"
#include "engine/alertpolicy.h"

#include <QList>
#include <QString>
#include <QTime>
#include <cstdint>

namespace vell {

struct ProgramFiles;
struct SystemInfo;

// The dialog's state: its three boxes and the net-send text.
struct AlertForm
{
    bool notice = false;  // chkDossierErr: ErreurDossier
    bool beep = false;    // chkDossierErrSon: ErreurDossierSon
    bool netSend = false; // chkDossierErrNetSend: ErreurDossierNetSend
    QString message;      // txtNetSend: MessageNetSend
};

// The opening state; net send reads as off where it does not exist (not NT).
[[nodiscard]] AlertForm OpenAlertForm(const Settings &settings, const SystemInfo &system);

// mnuDossierErr's check mark: any of the three alerts this dialog edits
// (the event log plays no part).
[[nodiscard]] bool AlertMenuChecked(const Settings &settings);

// Writes ErreurDossier, ErreurDossierSon, ErreurDossierNetSend and
// MessageNetSend (as typed, empty included) to [Configuration] in one
// atomic write, then sets them in memory. Returns 0 or -errno; on failure
// neither the file nor `settings` changes.
[[nodiscard]] int StoreAlertSettings(const ProgramFiles &files, Settings &settings, const AlertForm &form);

// The alerts the try button raises for the form as it stands: the same
// rules as a mirror run's unknown folder, but neither the day's log nor the
// event log hears of a folder that is not missing.
[[nodiscard]] AlertActions TryAlertActions(const Settings &settings, const AlertForm &form,
                                           const SystemInfo &system);
// Net send is asked for but the text has no word to send: the try shows
// the no-message box instead.
[[nodiscard]] bool TryLacksMessage(const AlertForm &form, const SystemInfo &system);

// The notice of a try, "hh:mm:ss - " and the dialog's title with a test mark.
[[nodiscard]] QString AlertTryNoticeText(const QTime &time, int32_t langue);
// The try's box when the net-send text has no word: "No message to send".
[[nodiscard]] QString NoNetSendMessageText(int32_t langue);
// Empty when the net-send program can be found on PATH; otherwise why the
// try cannot start it, for a box.
[[nodiscard]] QString AlertCommandProblem(const QStringList &argv, int32_t langue);

// Every caption of frmAvertirDossierErr, its title included.
[[nodiscard]] QList<Caption> AlertsDialogCaptions(int32_t langue);

} // namespace vell
