#pragma once

#include "base/caption.h"
#include "config/settings.h"
#include "service/servicecontrol.h"

#include <QList>
#include <QString>
#include <optional>

namespace vell {

struct ProgramFiles;

// What the service dialog shows when it opens.
struct AdminForm
{
    QString statusText;  // lblService: installed or not installed, and what could not be read
    int startOption = 0; // the selected optType: StartType 0 and 1 as they are, anything else 2
    bool interactive = false;
    bool eventLog = false; // chkDossierErrEventLog
};
[[nodiscard]] AdminForm OpenAdminForm(const ServiceControl &control, const Settings &settings, int langue);

// chkDossierErrEventLog clicked: writes ErreurDossierEventLog to
// [Configuration] at once and, when that worked, sets it in memory.
// Returns 0 or -errno.
[[nodiscard]] int StoreEventLogChoice(const ProgramFiles &files, Settings &settings, bool on);

// Every caption of frmAdminService, its title included.
[[nodiscard]] QList<Caption> ServiceDialogCaptions(int langue);

// What the service dialog shows and does after Install or Remove.
struct AdminResult
{
    QString statusText;                   // lblService
    bool beep = false;
    std::optional<bool> serviceIndicator; // true "Service", false "Application", nullopt unchanged
    QString message;                      // an information box to show (title "Vell"), empty: none
    bool endProgram = false;              // remove the tray icon and end, exit status 0
};

// Install: nothing but the already-installed text and a beep when the
// service is installed; otherwise sets the start type (0 and 1 as given,
// anything else 2) and Interactive, installs, logs the installed text and
// ends the program after the message. A failed install keeps the program
// running and says why, with a beep.
[[nodiscard]] AdminResult AdminInstall(ServiceControl &control, int startTypeOption, bool interactive, int langue);

// Remove: uninstalls and logs when installed, otherwise the not-installed
// text and a beep; the indicator shows "Application" either way, unless
// the removal failed, which keeps it and says why, with a beep.
[[nodiscard]] AdminResult AdminRemove(ServiceControl &control, int langue);

} // namespace vell
